// What `kelvra-image show` prints: the identity exactly as Kelvra lists it
// after a VT-A verify, and warnings about what would go wrong or surprise.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ImageReport
{

struct Report
{
    std::vector<std::string> identityLines;  // Kelvra's lines, bytes unchanged
    std::vector<std::string> warnings;       // without the "warning: " mark
};

// fileHead holds the first bytes of a file (all of them up to 128 where the
// file has them), fileSize its whole length. Kelvra takes the first 128
// bytes and pads a shorter file with zeros; so does this.
Report Analyze(const std::uint8_t* fileHead, std::size_t headSize, std::uint64_t fileSize);

}  // namespace ImageReport
