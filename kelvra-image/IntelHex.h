// Reads Intel HEX text into the raw bytes Kelvra writes. Kelvra's file dialog
// offers "*.hex" but writes the file's bytes as they are, so a HEX text must
// be converted before it reaches a device.
#pragma once

#include "Result.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace IntelHex
{

// The largest EEPROM Kelvra programs; data beyond it is refused.
constexpr std::size_t MaxImageSize = 2048;

// The image from address 0 to the highest address a data record sets. Bytes
// no record sets are 0, the same as Kelvra reads past the end of a short file,
// so a gap and a missing tail mean the same.
//
// Records: 00 data, 01 end of file, 02 and 04 extended addresses; 03 and 05
// (a processor's start address) are checked and ignored. Blank lines are
// skipped; nothing but blank lines may follow the end-of-file record.
// A failure reads "line N: ...", N being the first faulty line.
Result<std::vector<std::uint8_t>> Parse(std::string_view text);

// True when the bytes begin like an Intel HEX record: ':' and at least ten
// hexadecimal digits up to the end of the first line.
bool LooksLikeIntelHex(const std::uint8_t* bytes, std::size_t size);

}  // namespace IntelHex
