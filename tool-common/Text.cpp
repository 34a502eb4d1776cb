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

std::string Escape(std::string_view line, bool backslashToo)
{
    std::string escaped;
    for (const char character : line)
    {
        const auto value = static_cast<unsigned char>(character);
        if (backslashToo && character == '\\')
        {
            escaped += "\\\\";
        }
        else if (IsPrintableAscii(value))
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

// The length of the printable character that starts at index: 1 for
// printable ASCII, 2 to 4 for a UTF-8 sequence other than a C1 control; 0
// for anything else.
size_t Utf8CharacterLength(std::string_view text, size_t index)
{
    const auto lead = static_cast<unsigned char>(text[index]);
    if (lead < 0x80)
    {
        return IsPrintableAscii(lead) ? 1 : 0;
    }
    const size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                          : lead >= 0xE0 && lead <= 0xEF ? 3
                          : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                         : 0;
    if (length == 0 || index + length > text.size() ||
        (lead == 0xC2 && static_cast<unsigned char>(text[index + 1]) < 0xA0))
    {
        return 0;
    }
    for (size_t next = index + 1; next < index + length; ++next)
    {
        if ((static_cast<unsigned char>(text[next]) & 0xC0) != 0x80)
        {
            return 0;
        }
    }
    return length;
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

std::string IniValue(std::string_view text, std::string& value)
{
    text = TrimBlanks(text);
    if (!text.empty() && text.front() == '"')
    {
        const size_t close = text.find('"', 1);
        if (close == std::string_view::npos)
        {
            return "the quote that opens the value is not closed";
        }
        const std::string_view after = TrimBlanks(text.substr(close + 1));
        if (!after.empty() && after.front() != ';')
        {
            return "text follows the value's closing quote; a comment starts with ';'";
        }
        value = std::string(text.substr(1, close - 1));
        return {};
    }
    size_t end = 0;
    while (end < text.size() && !(text[end] == ';' && (end == 0 || IsBlank(text[end - 1]))))
    {
        ++end;
    }
    value = std::string(TrimBlanks(text.substr(0, end)));
    return {};
}

std::string EscapeKeepingUtf8(std::string_view text)
{
    std::string escaped;
    for (size_t index = 0; index < text.size();)
    {
        const size_t length = Utf8CharacterLength(text, index);
        if (length != 0)
        {
            escaped.append(text.data() + index, length);
            index += length;
            continue;
        }
        escaped += Escape(text.substr(index, 1), false);
        ++index;
    }
    return escaped;
}

std::string EscapeNonPrintable(std::string_view line)
{
    return Escape(line, false);
}

std::string EscapeBytes(std::string_view bytes)
{
    return Escape(bytes, true);
}

std::string EscapedExcerpt(std::string_view text, size_t longest)
{
    const std::string shown = EscapeKeepingUtf8(text.substr(0, longest));
    return text.size() > longest ? shown + "..." : shown;
}

}  // namespace Text
