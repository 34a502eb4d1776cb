// The image a command reads and the file read saves, named by UTF-8 paths
// and opened by their wide names, so any name Windows takes works.
#pragma once

#include <string>
#include <vector>

#include <windows.h>

#include "ExitStatus.h"

// The name to give Windows for a path the user gave, whatever its length.
std::vector<wchar_t> WindowsName(const std::string& path);

// The first size bytes of a regular, non-empty file, a shorter one padded
// with zeros. Anything else is a file error and leaves image alone.
Outcome ReadImageFile(const std::string& path, UINT size, std::vector<BYTE>& image);

// Refused before any transfer: an output that exists (unless replacing it is
// allowed), that is read-only or a folder, or whose folder does not exist.
Outcome CheckOutputFile(const std::string& path, bool replace);

// Saves bytes as path whole or not at all: they go to a file beside it first.
Outcome WriteOutputFile(const std::string& path, const std::vector<BYTE>& bytes, bool replace);
