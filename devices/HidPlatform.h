// The platform calls the device list and the hot-plug registration make, in
// one narrow interface. Kelvra uses the real SetupAPI, HID and notification
// functions through WindowsHidPlatform; tests put in interfaces of their own.
#pragma once

#include <cstddef>

#include "HidHeaders.h"

class HidPlatform
{
public:
    virtual ~HidPlatform() = default;

    virtual void GetHidGuid(GUID* hidGuid) = 0;
    virtual HDEVINFO GetClassDevs(const GUID* classGuid, PCSTR enumerator, HWND parent, DWORD flags) = 0;
    virtual BOOL EnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA device, const GUID* classGuid, DWORD index,
                                      PSP_DEVICE_INTERFACE_DATA interfaceData) = 0;
    virtual BOOL GetDeviceInterfaceDetail(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA interfaceData,
                                          PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail, DWORD detailSize,
                                          PDWORD requiredSize, PSP_DEVINFO_DATA device) = 0;
    virtual BOOL DestroyDeviceInfoList(HDEVINFO set) = 0;
    virtual HANDLE CreateDeviceFile(LPCSTR path, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES security,
                                    DWORD creation, DWORD flags, HANDLE templateFile) = 0;
    virtual BOOL CloseHandle(HANDLE handle) = 0;
    virtual BOOLEAN GetAttributes(HANDLE device, PHIDD_ATTRIBUTES attributes) = 0;
    // The detail buffers and the key array.
    virtual void* Allocate(std::size_t size) = 0;
    virtual void Free(void* block) = 0;
    virtual HDEVNOTIFY RegisterNotification(HANDLE recipient, LPVOID filter, DWORD flags) = 0;
    virtual BOOL UnregisterNotification(HDEVNOTIFY handle) = 0;
};

// The real functions.
class WindowsHidPlatform final : public HidPlatform
{
public:
    static WindowsHidPlatform& Instance();

    void GetHidGuid(GUID* hidGuid) override;
    HDEVINFO GetClassDevs(const GUID* classGuid, PCSTR enumerator, HWND parent, DWORD flags) override;
    BOOL EnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA device, const GUID* classGuid, DWORD index,
                              PSP_DEVICE_INTERFACE_DATA interfaceData) override;
    BOOL GetDeviceInterfaceDetail(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA interfaceData,
                                  PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail, DWORD detailSize, PDWORD requiredSize,
                                  PSP_DEVINFO_DATA device) override;
    BOOL DestroyDeviceInfoList(HDEVINFO set) override;
    HANDLE CreateDeviceFile(LPCSTR path, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES security, DWORD creation,
                            DWORD flags, HANDLE templateFile) override;
    BOOL CloseHandle(HANDLE handle) override;
    BOOLEAN GetAttributes(HANDLE device, PHIDD_ATTRIBUTES attributes) override;
    void* Allocate(std::size_t size) override;
    void Free(void* block) override;
    HDEVNOTIFY RegisterNotification(HANDLE recipient, LPVOID filter, DWORD flags) override;
    BOOL UnregisterNotification(HDEVNOTIFY handle) override;
};

#if !defined(_WIN64)
static_assert(sizeof(SP_DEVICE_INTERFACE_DATA) == 28, "32-bit interface record");
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) == 5, "32-bit detail record's fixed part");
#endif
static_assert(sizeof(HIDD_ATTRIBUTES) == 12, "HID attributes record");
static_assert(sizeof(DEV_BROADCAST_DEVICEINTERFACE_A) == 32, "notification filter record");
