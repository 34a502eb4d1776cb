#include "DeviceLock.h"

#include <cwchar>

bool DeviceLock::TryAcquire(DWORD deviceKey)
{
    Release();
    wchar_t name[64];
    std::swprintf(name, sizeof name / sizeof name[0], L"Local\\Kelvra-Device-%08lX",
                  static_cast<unsigned long>(deviceKey));
    HANDLE mutex = CreateMutexW(nullptr, FALSE, name);
    if (mutex == nullptr)
        return false;
    const DWORD wait = WaitForSingleObject(mutex, 0);
    if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED)
    {
        CloseHandle(mutex);
        return false;
    }
    m_mutex = mutex;
    return true;
}

void DeviceLock::Release()
{
    if (m_mutex == nullptr)
        return;
    ReleaseMutex(m_mutex);
    CloseHandle(m_mutex);
    m_mutex = nullptr;
}
