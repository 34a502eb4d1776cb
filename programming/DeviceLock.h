// One program at a time per device: a mutex named after the DeviceKey in the
// session's namespace, so every Kelvra tool the user runs sees it. It is
// taken without waiting; a holder that died leaves it abandoned, which
// counts as free.
#pragma once

#include <windows.h>

class DeviceLock
{
public:
    DeviceLock() = default;
    ~DeviceLock() { Release(); }
    DeviceLock(const DeviceLock&) = delete;
    DeviceLock& operator=(const DeviceLock&) = delete;

    // True when this thread now holds the device; false when another holder
    // has it, or when the lock cannot be made (which counts as busy).
    bool TryAcquire(DWORD deviceKey);
    void Release();

private:
    HANDLE m_mutex = nullptr;
};
