// Arbitrary text through the Intel HEX reader. An image it accepts must stay
// within the largest EEPROM, and writing it out as plain data records must
// read back to the same bytes.
#include "IntelHex.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace
{

void Require(bool condition)
{
    if (!condition)
    {
        std::abort();
    }
}

std::string DataRecord(std::size_t address, const std::vector<std::uint8_t>& image, std::size_t count)
{
    unsigned sum = static_cast<unsigned>(count + (address >> 8) + (address & 0xFF));
    std::string line;
    char digits[16];
    std::snprintf(digits, sizeof digits, ":%02X%04X00", static_cast<unsigned>(count), static_cast<unsigned>(address));
    line += digits;
    for (std::size_t index = 0; index < count; ++index)
    {
        std::snprintf(digits, sizeof digits, "%02X", static_cast<unsigned>(image[address + index]));
        line += digits;
        sum += image[address + index];
    }
    std::snprintf(digits, sizeof digits, "%02X\n", (0x100 - (sum & 0xFF)) & 0xFF);
    return line + digits;
}

std::string AsIntelHex(const std::vector<std::uint8_t>& image)
{
    std::string text;
    for (std::size_t address = 0; address < image.size(); address += 16)
    {
        const std::size_t count = image.size() - address < 16 ? image.size() - address : 16;
        text += DataRecord(address, image, count);
    }
    return text + ":00000001FF\n";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const Result<std::vector<std::uint8_t>> image = IntelHex::Parse(text);
    IntelHex::LooksLikeIntelHex(data, size);
    if (!image.IsOk())
    {
        Require(!image.Error().empty());
        return 0;
    }
    Require(!image.Value().empty() && image.Value().size() <= IntelHex::MaxImageSize);
    const Result<std::vector<std::uint8_t>> again = IntelHex::Parse(AsIntelHex(image.Value()));
    Require(again.IsOk() && again.Value() == image.Value());
    return 0;
}
