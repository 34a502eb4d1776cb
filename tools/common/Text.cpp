#include "Text.h"

#include "Digits.h"

namespace Text
{

namespace
{

bool IsBlank(char character)
{
    return character == ' ' || character == '\t';
}

}  // namespace

bool IsPrintableAscii(unsigned char character)
{
    return character >= 0x20 && character <= 0x7E;
}

bool IsHexDigit(char character)
{
    return IsDecimalDigit(character) || (character >= 'a' && character <= 'f') ||
           (character >= 'A' && character <= 'F');
}

bool IsDecimalDigit(char character)
{
    return character >= '0' && character <= '9';
}

bool IsAsciiLetter(char character)
{
    return (character >= 'a' && character <= 'z') || (character >= 'A' && character <= 'Z');
}

unsigned HexDigitValue(char character)
{
    if (IsDecimalDigit(character))
    {
        return static_cast<unsigned>(character - '0');
    }
    if (character >= 'a' && character <= 'f')
    {
        return static_cast<unsigned>(character - 'a' + 10);
    }
    return static_cast<unsigned>(character - 'A' + 10);
}

std::string HexByte(std::uint8_t value)
{
    return "0x" + Digits::Hex(value, 2);
}

std::string HexWord(std::uint16_t value)
{
    return "0x" + Digits::Hex(value, 4);
}

std::string_view TrimBlanks(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
    {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back()))
    {
        text.remove_suffix(1);
    }
    return text;
}

std::string ToUpperAscii(std::string_view text)
{
    std::string upper(text);
    for (char& character : upper)
    {
        if (character >= 'a' && character <= 'z')
        {
            character = static_cast<char>(character - 'a' + 'A');
        }
    }
    return upper;
}

std::string EscapeNonPrintable(std::string_view line)
{
    std::string escaped;
    for (const char character : line)
    {
        const auto value = static_cast<unsigned char>(character);
        if (IsPrintableAscii(value))
        {
            escaped.push_back(character);
        }
        else
        {
            escaped += "\\x" + Digits::Hex(value, 2);
        }
    }
    return escaped;
}

std::string EscapedExcerpt(std::string_view text, size_t longest)
{
    const std::string shown = EscapeNonPrintable(text.substr(0, longest));
    return text.size() > longest ? shown + "..." : shown;
}

}  // namespace Text
