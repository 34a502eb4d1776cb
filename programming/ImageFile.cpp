#include "ImageFile.h"

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
