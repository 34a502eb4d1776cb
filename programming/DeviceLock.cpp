#include "DeviceLock.h"

#include "Digits.h"

bool DeviceLock::TryAcquire(DWORD deviceKey)
{
    Release();
    const std::string name = "Local\\Kelvra-Device-" + Digits::Hex(deviceKey, 8, true);
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
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
