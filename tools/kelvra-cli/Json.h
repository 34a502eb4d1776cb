// The pieces of kelvra-cli's --json output.
#pragma once

#include <string>

// A JSON string of bytes: each byte outside printable ASCII, and the quote
// and backslash, escaped; a byte from 0x80 up stands for the code point of the
// same value, as a chip's one-byte string characters do.
std::string JsonString(const std::string& bytes);

// "0x" and digits lower-case hexadecimal digits, as a JSON string.
std::string JsonHex(unsigned value, int digits);
