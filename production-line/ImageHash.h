// The SHA-256 of an image, as sha256sum prints it: a series records it so
// that every station writes the same bytes.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// 64 lowercase hexadecimal digits; empty when Windows cannot hash.
std::string Sha256Hex(const std::vector<BYTE>& bytes);
