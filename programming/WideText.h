// Text between the programs' own strings, UTF-8, and Windows' wide calls.
#pragma once

#include <string>
#include <vector>

std::string Utf8FromWide(const wchar_t* text);
// NUL-terminated. A vector rather than a wide string: the wide string code
// would be a sixth of a program.
std::vector<wchar_t> WideFromUtf8(const std::string& text);

// Writes text to a standard handle (STD_OUTPUT_HANDLE, STD_ERROR_HANDLE): to
// a console as UTF-16, which it shows whatever its code page; to a file or a
// pipe as the UTF-8 bytes. False when it could not be written.
bool WriteStandard(unsigned long which, const std::string& text);
