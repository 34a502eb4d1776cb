// Numbers as digits of a fixed least width. The printf family would do it,
// but on MinGW it brings its own formatter, about a tenth of kelvra-cli.
#pragma once

#include <cstdint>
#include <string>

namespace Digits
{

// value in at least width hexadecimal digits, lower case unless upper.
inline std::string Hex(std::uint64_t value, int width, bool upper = false)
{
    const char* const digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string text;
    do
    {
        text.insert(text.begin(), digits[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    if (static_cast<int>(text.size()) < width)
    {
        text.insert(0, width - text.size(), '0');
    }
    return text;
}

// value in at least width decimal digits.
inline std::string Decimal(std::uint64_t value, int width)
{
    std::string text;
    do
    {
        text.insert(text.begin(), static_cast<char>('0' + value % 10));
        value /= 10;
    } while (value != 0);
    if (static_cast<int>(text.size()) < width)
    {
        text.insert(0, width - text.size(), '0');
    }
    return text;
}

}  // namespace Digits
