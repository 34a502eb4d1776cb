#include "Files.h"

#include "Console.h"
#include "FileHandle.h"
#include "ImageFile.h"
#include "Joined.h"

namespace
{
const char* const PartialSuffix = ".kelvra-cli-partial";

bool IsMissing(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME;
}

Outcome FileError(const std::string& path, const std::string& what)
{
    return Failure(ExitStatus::FileError, Joined({path, ": ", what}));
}

std::string ErrorNumber(DWORD error)
{
    return Joined({" (Windows error ", std::to_string(error), ")"});
}

// The folder part of path, or empty for a bare name.
std::string FolderOf(const std::string& path)
{
    const size_t separator = path.find_last_of("\\/");
    if (separator == std::string::npos)
    {
        return std::string();
    }
    if (separator == 0 || (separator == 2 && path[1] == ':'))
    {
        return path.substr(0, separator + 1);
    }
    return path.substr(0, separator);
}

bool WriteAll(HANDLE file, const std::vector<BYTE>& bytes)
{
    DWORD written = 0;
    return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}
}  // namespace

std::vector<wchar_t> WindowsName(const std::string& path)
{
    return ExtendedLengthPath(WideFromUtf8(path).data());
}

Outcome ReadImageFile(const std::string& path, UINT size, std::vector<BYTE>& image)
{
    const std::vector<wchar_t> widePath = WindowsName(path);
    const DWORD attributes = GetFileAttributesW(widePath.data());
    if (attributes == INVALID_FILE_ATTRIBUTES)
    {
        const DWORD error = GetLastError();
        return FileError(path, IsMissing(error) ? "no such file" : Joined({"cannot be read", ErrorNumber(error)}));
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    {
        return FileError(path, "is a folder, not an image file");
    }
    FileHandle file(CreateFileW(widePath.data(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid())
    {
        return FileError(path, Joined({"cannot be opened for reading", ErrorNumber(GetLastError()),
                                       "; check that no other program holds it"}));
    }
    std::vector<BYTE> bytes(size, 0);
    switch (ReadImage(file.Get(), bytes.data(), size))
    {
    case ImageRead::Read:
        image.swap(bytes);
        return {};
    case ImageRead::NotRegular:
        return FileError(path, "is not a regular file (a pipe or a device); give an image file");
    case ImageRead::ReadFailed:
        return FileError(path, Joined({"read error", ErrorNumber(GetLastError())}));
    case ImageRead::Empty:
        break;
    }
    return FileError(path, "is empty; an image needs its bytes, and zeros written instead would wipe the chip");
}

Outcome CheckOutputFile(const std::string& path, bool replace)
{
    const std::vector<wchar_t> widePath = WindowsName(path);
    const DWORD attributes = GetFileAttributesW(widePath.data());
    if (attributes != INVALID_FILE_ATTRIBUTES)
    {
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        {
            return FileError(path, "is a folder; give a file name to save to");
        }
        if ((attributes & FILE_ATTRIBUTE_READONLY) != 0)
        {
            return FileError(path, "is read-only, so it cannot be replaced; give another name, or clear its "
                                   "read-only attribute first");
        }
        if (!replace)
        {
            return FileError(path, "already exists; give --force to replace it, or another name");
        }
        return {};
    }
    const std::string folder = FolderOf(path);
    const DWORD folderAttributes =
        folder.empty() ? FILE_ATTRIBUTE_DIRECTORY : GetFileAttributesW(WindowsName(folder).data());
    if (folderAttributes == INVALID_FILE_ATTRIBUTES || (folderAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
    {
        return FileError(path, "its folder does not exist");
    }
    return {};
}

Outcome WriteOutputFile(const std::string& path, const std::vector<BYTE>& bytes, bool replace)
{
    const std::vector<wchar_t> widePath = WindowsName(path);
    const std::vector<wchar_t> partialPath = WindowsName(path + PartialSuffix);
    FileHandle file(
        CreateFileW(partialPath.data(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid())
    {
        return FileError(path, Joined({"cannot be created", ErrorNumber(GetLastError())}));
    }
    const bool written = WriteAll(file.Get(), bytes) && FlushFileBuffers(file.Get());
    const DWORD writeError = GetLastError();
    if (!file.Close() || !written)
    {
        DeleteFileW(partialPath.data());
        return FileError(path, Joined({"write failed", ErrorNumber(writeError), "; nothing was saved"}));
    }
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    if (!MoveFileExW(partialPath.data(), widePath.data(), flags))
    {
        const DWORD error = GetLastError();
        DeleteFileW(partialPath.data());
        return FileError(path, error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS
                                   ? "appeared while the chip was read; nothing was saved, and it was kept"
                                   : Joined({"cannot be saved", ErrorNumber(error)}));
    }
    return {};
}
