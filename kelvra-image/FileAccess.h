// File access with narrow paths as the command line gives them, so the same
// code builds on Linux and Windows (where argv is in the ANSI code page).
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

std::string JoinPath(const std::string& directory, const std::string& name);

}  // namespace FileAccess
