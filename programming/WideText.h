// Text between the programs' own strings, UTF-8, and Windows' wide calls.
#pragma once

#include <string>
#include <vector>

std::string Utf8FromWide(const wchar_t* text);
// NUL-terminated. A vector rather than a wide string: the wide string code
// would be a sixth of a program.
std::vector<wchar_t> WideFromUtf8(const std::string& text);
