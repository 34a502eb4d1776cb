// Reading an image file that is already open. Only a disk file is read: a
// pipe or a device could block the read for as long as its writer likes, or
// yield bytes that are no image.
#pragma once

#include <windows.h>

#include <vector>

enum class ImageRead
{
    Read,
    NotRegular,  // a pipe, a device or a folder
    ReadFailed,  // what came before the failure is no image either
    Empty,       // zeros written instead would wipe the chip
};

// The rule of every program: image gets the file's first size bytes, a
// shorter file padded with zeros, a longer one cut.
ImageRead ReadImage(HANDLE file, BYTE* image, UINT size);

// The name to open path by, zero-terminated: Windows takes a path of MAX_PATH
// characters or more only in its extended form, prefixed \\?\ and absolute.
std::vector<wchar_t> ExtendedLengthPath(const wchar_t* path);
