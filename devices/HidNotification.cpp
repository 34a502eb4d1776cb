#include "HidNotification.h"

#include "DeviceBroadcast.h"

#include <cstddef>
#include <cstring>

int RegisterHidNotification(int registerFlag, HWND window, HDEVNOTIFY* slot, GUID classGuid, HidPlatform& platform)
{
    if (!registerFlag)
    {
        if (*slot != nullptr)
        {
            platform.UnregisterNotification(*slot);
            *slot = nullptr;
        }
        return 1;
    }
    DEV_BROADCAST_DEVICEINTERFACE_A filter = MakeDeviceInterfaceRecord(classGuid, DBT_DEVTYP_DEVICEINTERFACE);
    *slot = platform.RegisterNotification(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    return *slot != nullptr ? 1 : 0;
}

bool IsHidInterfaceChange(UINT message, WPARAM wParam, LPARAM lParam, const GUID& classGuid)
{
    if (message != WM_DEVICECHANGE)
    {
        return false;
    }
    if (wParam != DBT_DEVICEARRIVAL && wParam != DBT_DEVICEREMOVECOMPLETE)
    {
        return false;
    }
    // Only a record can say which device changed.
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
    if (header == nullptr || header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE)
    {
        return false;
    }
    // A record too short to hold a class is not read past its end.
    const size_t classEnd = offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_classguid) + sizeof(GUID);
    if (header->dbch_size < classEnd)
    {
        return false;
    }
    const auto* record = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_A*>(header);
    return std::memcmp(&record->dbcc_classguid, &classGuid, sizeof(GUID)) == 0;
}
