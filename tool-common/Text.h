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

// The value of an INI line, the text after its '=', read by one rule for
// every key, the one the README's Kelvra.ini example follows: a ';' that
// begins the value or follows a blank starts a comment, and the blanks
// around the value are dropped; a value in double quotes is the text
// between them, whole, so it may hold " ;". Returns what is wrong (a quote
// not closed, text after the closing one), or empty.
std::string IniValue(std::string_view text, std::string& value);

// The line with every byte outside printable ASCII as \xNN, so control
// bytes cannot act on the terminal.
std::string EscapeNonPrintable(std::string_view line);

// A message, such as one naming a file the person typed in any script:
// control bytes and bytes that are no UTF-8 as \xNN, the rest as it is.
std::string EscapeKeepingUtf8(std::string_view text);
// The first longest bytes of text, escaped as above, with "..." when cut: a
// line of any length quoted in a message.
std::string EscapedExcerpt(std::string_view text, size_t longest);

// Bytes as text that reads back to them alone: EscapeNonPrintable's \xNN,
// and a backslash as \\, so a backslash before "x01" is not taken for 0x01.
std::string EscapeBytes(std::string_view bytes);

}  // namespace Text
