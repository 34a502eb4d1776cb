// Small text helpers shared by the command-line tools' parsers and reports:
// hexadecimal texts, digit checks, escaping.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace Text
{

// 0x20 to 0x7e: what a terminal and Kelvra's list box both show as itself.
bool IsPrintableAscii(unsigned char character);
bool IsHexDigit(char character);
bool IsDecimalDigit(char character);
bool IsAsciiLetter(char character);

// The value of a hexadecimal digit; call only for IsHexDigit characters.
unsigned HexDigitValue(char character);

// "0x" and two or four lower-case hexadecimal digits.
std::string HexByte(std::uint8_t value);
std::string HexWord(std::uint16_t value);

std::string_view TrimBlanks(std::string_view text);
std::string ToUpperAscii(std::string_view text);

// The line with every byte outside printable ASCII as \xNN, so control
// bytes cannot act on the terminal.
std::string EscapeNonPrintable(std::string_view line);
// The first longest bytes of text, escaped as above, with "..." when cut: a
// line of any length quoted in a message.
std::string EscapedExcerpt(std::string_view text, size_t longest);

}  // namespace Text
