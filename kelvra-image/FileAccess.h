// File access by the names the command line gives, as UTF-8, so the same
// code builds on Linux and Windows (where the names go to the wide calls).
#pragma once

#include "Result.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace FileAccess
{

enum class PathKind
{
    Missing,
    RegularFile,
    Directory,
    Other
};

PathKind KindOf(const std::string& path);

struct FileHead
{
    std::vector<std::uint8_t> bytes;  // at most the requested number
    std::uint64_t totalSize = 0;
};

// The first maxBytes bytes of a regular file and its whole length.
Result<FileHead> ReadHead(const std::string& path, std::size_t maxBytes);

// The whole regular file; refused when longer than maxBytes.
Result<std::vector<std::uint8_t>> ReadAll(const std::string& path, std::size_t maxBytes);

// Writes bytes to path, replacing a file only when overwrite is set. A file
// left half-written by a failure is removed. The result is the error, empty
// on success.
std::string WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes, bool overwrite);

// Whether both name one existing file, however each is written (another
// case on Windows, another folder path, a link).
bool SameFile(const std::string& first, const std::string& second);

std::string JoinPath(const std::string& directory, const std::string& name);

}  // namespace FileAccess
