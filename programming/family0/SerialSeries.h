// Consecutive serial numbers, as `kelvra-image series` makes images of them
// and `kelvra-cli line` writes them to units.
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
#include <optional>
#include <string>
#include <vector>

namespace SerialSeries
{

// More images than this in one run is far more likely a typo than a batch.
constexpr std::uint64_t MaxCount = 100000;

// The form a start serial sets: its prefix, its number and the digits' width.
struct Form
{
    std::string prefix;
    std::uint64_t number = 0;
    std::size_t width = 0;
};

// A decimal count from 1 to MaxCount.
Result<std::uint64_t> ParseCount(const std::string& text);

// Refuses a start that is not prefix and digits.
Result<Form> ParseStart(const std::string& start);

// How many numbers the width holds: 10 to the width.
std::uint64_t Limit(const Form& form);

// number in the form: the prefix, then number zero-padded to the width.
// The caller keeps number below Limit(form).
std::string SerialOf(const Form& form, std::uint64_t number);

// The number of serial when it has form's prefix and width; nothing otherwise.
std::optional<std::uint64_t> NumberOf(const Form& form, const std::string& serial);

// count serial numbers from start. Refuses a start that is not prefix and
// digits, and a count whose last number would need more digits than start.
Result<std::vector<std::string>> Consecutive(const std::string& start, std::uint64_t count);

}  // namespace SerialSeries
