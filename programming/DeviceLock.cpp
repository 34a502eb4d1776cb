#include "DeviceLock.h"

#include <cstdio>

bool DeviceLock::TryAcquire(DWORD deviceKey)
{
    Release();
    char name[64];
    std::snprintf(name, sizeof name, "Local\\Kelvra-Device-%08lX", static_cast<unsigned long>(deviceKey));
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name);
    if (mutex == nullptr)
    {
        return false;
    }
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
    {
        return;
    }
    ReleaseMutex(m_mutex);
    CloseHandle(m_mutex);
    m_mutex = nullptr;
}
