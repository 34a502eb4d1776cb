// Consecutive serial numbers for `kelvra-image series`.
//
// A start serial is an optional prefix of ASCII letters, '-' or '_' followed
// by one or more decimal digits, 13 characters at most (the serial number
// field). The digits count up and keep their width: SN0099, SN0100, ...
// The prefix excludes digits so the counting part is never ambiguous, and
// excludes everything else because each serial also names a file.
#pragma once

#include "Result.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace SerialSeries
{

// More images than this in one run is far more likely a typo than a batch.
constexpr std::uint64_t MaxCount = 100000;

// A decimal count from 1 to MaxCount.
Result<std::uint64_t> ParseCount(const std::string& text);

// count serial numbers from start. Refuses a start that is not prefix and
// digits, and a count whose last number would need more digits than start.
Result<std::vector<std::string>> Consecutive(const std::string& start, std::uint64_t count);

} // namespace SerialSeries
