#include "FileAccess.h"

#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <limits>

namespace FileAccess
{

namespace
{

Result<std::ifstream> OpenRegularFile(const std::string& path)
{
    switch (KindOf(path))
    {
    case PathKind::Missing:
        return Result<std::ifstream>::Failure(path + ": no such file");
    case PathKind::Directory:
        return Result<std::ifstream>::Failure(path + ": is a directory");
    case PathKind::Other:
        return Result<std::ifstream>::Failure(path + ": not a regular file");
    case PathKind::RegularFile:
        break;
    }
    std::ifstream stream(path, std::ios::binary);
    if (!stream)
    {
        return Result<std::ifstream>::Failure(path + ": cannot be opened for reading");
    }
    return Result<std::ifstream>::Success(std::move(stream));
}

std::vector<std::uint8_t> ReadUpTo(std::ifstream& stream, std::size_t maxBytes)
{
    std::vector<std::uint8_t> bytes(maxBytes);
    stream.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(maxBytes));
    bytes.resize(static_cast<std::size_t>(stream.gcount()));
    return bytes;
}

// Counts what is left without keeping it, for files of any length.
std::uint64_t CountRemaining(std::ifstream& stream)
{
    std::uint64_t count = 0;
    while (stream)
    {
        stream.ignore(std::numeric_limits<std::streamsize>::max());
        count += static_cast<std::uint64_t>(stream.gcount());
    }
    return count;
}

}  // namespace

PathKind KindOf(const std::string& path)
{
    struct stat status
    {
    };
    if (stat(path.c_str(), &status) != 0)
    {
        return PathKind::Missing;
    }
    if ((status.st_mode & S_IFMT) == S_IFREG)
    {
        return PathKind::RegularFile;
    }
    if ((status.st_mode & S_IFMT) == S_IFDIR)
    {
        return PathKind::Directory;
    }
    return PathKind::Other;
}

Result<FileHead> ReadHead(const std::string& path, std::size_t maxBytes)
{
    Result<std::ifstream> stream = OpenRegularFile(path);
    if (!stream.IsOk())
    {
        return Result<FileHead>::Failure(stream.Error());
    }
    FileHead head;
    head.bytes = ReadUpTo(stream.Value(), maxBytes);
    if (stream.Value().bad())
    {
        return Result<FileHead>::Failure(path + ": read error");
    }
    head.totalSize = head.bytes.size() + CountRemaining(stream.Value());
    if (stream.Value().bad())
    {
        return Result<FileHead>::Failure(path + ": read error");
    }
    return Result<FileHead>::Success(std::move(head));
}

Result<std::vector<std::uint8_t>> ReadAll(const std::string& path, std::size_t maxBytes)
{
    Result<FileHead> head = ReadHead(path, maxBytes);
    if (!head.IsOk())
    {
        return Result<std::vector<std::uint8_t>>::Failure(head.Error());
    }
    if (head.Value().totalSize > maxBytes)
    {
        return Result<std::vector<std::uint8_t>>::Failure(path + ": " + std::to_string(head.Value().totalSize) +
                                                          " bytes, more than the " + std::to_string(maxBytes) +
                                                          " this accepts");
    }
    return Result<std::vector<std::uint8_t>>::Success(std::move(head.Value().bytes));
}

std::string WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes, bool overwrite)
{
    const PathKind kind = KindOf(path);
    if (kind == PathKind::Directory)
    {
        return path + ": is a directory";
    }
    if (kind != PathKind::Missing && !overwrite)
    {
        return path + ": already exists (use --force to replace it)";
    }
    std::ofstream stream(path, std::ios::binary | std::ios::trunc);
    if (!stream)
    {
        return path + ": cannot be created";
    }
    stream.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    stream.close();
    if (!stream)
    {
        std::remove(path.c_str());
        return path + ": write failed";
    }
    return {};
}

std::string JoinPath(const std::string& directory, const std::string& name)
{
    if (directory.empty())
    {
        return name;
    }
    const char last = directory.back();
    if (last == '/' || last == '\\')
    {
        return directory + name;
    }
    return directory + "/" + name;
}

}  // namespace FileAccess
