// The pieces of kelvra-cli's --json output.
#pragma once

#include <string>

// A JSON string of bytes: each byte outside printable ASCII, and the quote
// and backslash, escaped; a byte from 0x80 up stands for the code point of the
// same value, as a chip's one-byte string characters do.
std::string JsonString(const std::string& bytes);

// A JSON string of UTF-8 text, such as a message naming a file: control
// characters, the quote and backslash escaped, the rest kept as it is.
std::string JsonText(const std::string& text);

// ,"name":value for a value that is JSON already.
std::string JsonField(const char* name, const std::string& value);

// The object of fields made by JsonField.
std::string JsonObject(const std::string& fields);
