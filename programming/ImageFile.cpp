#include "ImageFile.h"

#include <cstring>
#include <cwchar>

namespace
{
bool IsRegularFile(HANDLE file)
{
    BY_HANDLE_FILE_INFORMATION information;
    return GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &information) &&
           (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool ReadUpTo(HANDLE file, BYTE* buffer, UINT size, UINT& count)
{
    count = 0;
    while (count < size)
    {
        DWORD read = 0;
        if (!ReadFile(file, buffer + count, size - count, &read, nullptr))
        {
            return false;
        }
        if (read == 0)
        {
            break;
        }
        count += read;
    }
    return true;
}
}  // namespace

ImageRead ReadImage(HANDLE file, BYTE* image, UINT size)
{
    std::memset(image, 0, size);
    if (!IsRegularFile(file))
    {
        return ImageRead::NotRegular;
    }
    UINT count = 0;
    if (!ReadUpTo(file, image, size, count))
    {
        return ImageRead::ReadFailed;
    }
    return count > 0 ? ImageRead::Read : ImageRead::Empty;
}

std::vector<wchar_t> ExtendedLengthPath(const wchar_t* path)
{
    const std::vector<wchar_t> asGiven(path, path + std::wcslen(path) + 1);
    const DWORD size = GetFullPathNameW(path, 0, nullptr, nullptr);
    if (size < MAX_PATH)
    {
        return asGiven;
    }
    std::vector<wchar_t> full(size, L'\0');
    const DWORD length = GetFullPathNameW(path, size, full.data(), nullptr);
    if (length == 0 || length >= size)
    {
        return asGiven;
    }
    full.resize(length + 1);
    if (std::wcsncmp(full.data(), L"\\\\?\\", 4) == 0 || std::wcsncmp(full.data(), L"\\\\.\\", 4) == 0)
    {
        return full;
    }
    // \\server\share becomes \\?\UNC\server\share.
    const bool unc = std::wcsncmp(full.data(), L"\\\\", 2) == 0;
    const wchar_t* const prefix = unc ? L"\\\\?\\UNC\\" : L"\\\\?\\";
    std::vector<wchar_t> extended(prefix, prefix + std::wcslen(prefix));
    extended.insert(extended.end(), full.begin() + (unc ? 2 : 0), full.end());
    return extended;
}
