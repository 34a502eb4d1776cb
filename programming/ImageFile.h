// Reading an image file that is already open. Only a disk file is read: a
// pipe or a device could block the read for as long as its writer likes, or
// yield bytes that are no image.
#pragma once

#include <windows.h>

#include <vector>

bool IsRegularFile(HANDLE file);

// Reads up to size bytes from the file's current position into buffer; count
// says how many came. False when a read fails: what came before the failure
// is no image either.
bool ReadUpTo(HANDLE file, BYTE* buffer, UINT size, UINT& count);

// The name to open path by, zero-terminated: Windows takes a path of MAX_PATH
// characters or more only in its extended form, prefixed \\?\ and absolute.
std::vector<wchar_t> ExtendedLengthPath(const wchar_t* path);
