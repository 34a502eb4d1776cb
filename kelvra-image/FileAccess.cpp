#include "FileAccess.h"

#include <sys/stat.h>

#include <cstdio>

#ifdef _WIN32
#include <windows.h>

#include "WideText.h"
#endif

namespace FileAccess
{

namespace
{

// The calls that take a file's name: on Windows the wide ones, so a name
// outside the ANSI code page reaches the file system as it was typed.
#ifdef _WIN32
using Status = struct _stat64;

int StatusOf(const std::string& path, Status& status)
{
    return _wstat64(WideFromUtf8(path).data(), &status);
}

std::FILE* OpenNamed(const std::string& path, const char* mode)
{
    return _wfopen(WideFromUtf8(path).data(), WideFromUtf8(mode).data());
}

void RemoveNamed(const std::string& path)
{
    _wremove(WideFromUtf8(path).data());
}

// The volume and the file's index on it: one file by whatever name.
bool IdentityOf(const std::string& path, std::uint64_t (&identity)[2])
{
    const HANDLE file =
        CreateFileW(WideFromUtf8(path).data(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
    {
        return false;
    }
    BY_HANDLE_FILE_INFORMATION information{};
    const bool known = GetFileInformationByHandle(file, &information) != FALSE;
    CloseHandle(file);
    identity[0] = information.dwVolumeSerialNumber;
    identity[1] = (static_cast<std::uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
    return known;
}
#else
using Status = struct stat;

int StatusOf(const std::string& path, Status& status)
{
    return stat(path.c_str(), &status);
}

std::FILE* OpenNamed(const std::string& path, const char* mode)
{
    return std::fopen(path.c_str(), mode);
}

void RemoveNamed(const std::string& path)
{
    std::remove(path.c_str());
}

bool IdentityOf(const std::string& path, std::uint64_t (&identity)[2])
{
    Status status{};
    if (StatusOf(path, status) != 0)
    {
        return false;
    }
    identity[0] = static_cast<std::uint64_t>(status.st_dev);
    identity[1] = static_cast<std::uint64_t>(status.st_ino);
    return true;
}
#endif

class OpenFile
{
public:
    OpenFile(const std::string& path, const char* mode) : m_file(OpenNamed(path, mode)) {}
    ~OpenFile() { Close(); }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;

    std::FILE* Get() const { return m_file; }
    // False when a write or the close failed.
    bool Close()
    {
        const bool closed = m_file == nullptr || std::fclose(m_file) == 0;
        m_file = nullptr;
        return closed;
    }

private:
    std::FILE* m_file;
};

std::string CheckRegularFile(const std::string& path)
{
    switch (KindOf(path))
    {
    case PathKind::Missing:
        return path + ": no such file";
    case PathKind::Directory:
        return path + ": is a directory";
    case PathKind::Other:
        return path + ": not a regular file";
    case PathKind::RegularFile:
        break;
    }
    return {};
}

// Counts what is left without keeping it, for files of any length.
std::uint64_t CountRemaining(std::FILE* file)
{
    char buffer[4096];
    std::uint64_t count = 0;
    std::size_t read = 0;
    while ((read = std::fread(buffer, 1, sizeof buffer, file)) != 0)
    {
        count += read;
    }
    return count;
}

}  // namespace

PathKind KindOf(const std::string& path)
{
    Status status{};
    if (StatusOf(path, status) != 0)
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
    const std::string notRegular = CheckRegularFile(path);
    if (!notRegular.empty())
    {
        return Result<FileHead>::Failure(notRegular);
    }
    const OpenFile file(path, "rb");
    if (file.Get() == nullptr)
    {
        return Result<FileHead>::Failure(path + ": cannot be opened for reading");
    }
    FileHead head;
    head.bytes.resize(maxBytes);
    head.bytes.resize(std::fread(head.bytes.data(), 1, maxBytes, file.Get()));
    head.totalSize = head.bytes.size() + CountRemaining(file.Get());
    if (std::ferror(file.Get()) != 0)
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
    OpenFile file(path, "wb");
    if (file.Get() == nullptr)
    {
        return path + ": cannot be created";
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.Get()) == bytes.size();
    if (!file.Close() || !written)
    {
        RemoveNamed(path);
        return path + ": write failed";
    }
    return {};
}

bool SameFile(const std::string& first, const std::string& second)
{
    std::uint64_t firstIdentity[2] = {};
    std::uint64_t secondIdentity[2] = {};
    return IdentityOf(first, firstIdentity) && IdentityOf(second, secondIdentity) &&
           firstIdentity[0] == secondIdentity[0] && firstIdentity[1] == secondIdentity[1];
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
