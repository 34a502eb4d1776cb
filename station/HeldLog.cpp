#include "HeldLog.h"

#include "WideText.h"

namespace
{
HANDLE OpenShared(const std::string& path, DWORD access, DWORD sharing)
{
    return CreateFileW(WideFromUtf8(path).data(), access, sharing, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

bool SameFile(HANDLE one, HANDLE other)
{
    BY_HANDLE_FILE_INFORMATION first{};
    BY_HANDLE_FILE_INFORMATION second{};
    return GetFileInformationByHandle(one, &first) && GetFileInformationByHandle(other, &second) &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber && first.nFileIndexHigh == second.nFileIndexHigh &&
           first.nFileIndexLow == second.nFileIndexLow;
}
}  // namespace

HeldLog::~HeldLog()
{
    if (m_file != INVALID_HANDLE_VALUE)
    {
        CloseHandle(m_file);
    }
}

void HeldLog::Hold(const std::string& path)
{
    if (m_file == INVALID_HANDLE_VALUE)
    {
        // Read access, which the line's own open shares.
        m_file = OpenShared(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
    }
}

bool HeldLog::Gone(const std::string& path) const
{
    if (m_file == INVALID_HANDLE_VALUE)
    {
        return false;
    }
    HANDLE now = OpenShared(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    const bool same = now != INVALID_HANDLE_VALUE && SameFile(m_file, now);
    if (now != INVALID_HANDLE_VALUE)
    {
        CloseHandle(now);
    }
    return !same;
}
