#include "HidPlatform.h"

#include <cstdlib>

namespace
{
// Stateless: one instance serves every dialog. Made with the process: a
// first-use static would bring the runtime's thread-safe guard along.
WindowsHidPlatform platform;
}  // namespace

WindowsHidPlatform& WindowsHidPlatform::Instance()
{
    return platform;
}

void WindowsHidPlatform::GetHidGuid(GUID* hidGuid)
{
    HidD_GetHidGuid(hidGuid);
}

HDEVINFO WindowsHidPlatform::GetClassDevs(const GUID* classGuid, PCSTR enumerator, HWND parent, DWORD flags)
{
    return SetupDiGetClassDevsA(classGuid, enumerator, parent, flags);
}

BOOL WindowsHidPlatform::EnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA device, const GUID* classGuid, DWORD index,
                                              PSP_DEVICE_INTERFACE_DATA interfaceData)
{
    return SetupDiEnumDeviceInterfaces(set, device, classGuid, index, interfaceData);
}

BOOL WindowsHidPlatform::GetDeviceInterfaceDetail(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA interfaceData,
                                                  PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail, DWORD detailSize,
                                                  PDWORD requiredSize, PSP_DEVINFO_DATA device)
{
    return SetupDiGetDeviceInterfaceDetailA(set, interfaceData, detail, detailSize, requiredSize, device);
}

BOOL WindowsHidPlatform::DestroyDeviceInfoList(HDEVINFO set)
{
    return SetupDiDestroyDeviceInfoList(set);
}

HANDLE WindowsHidPlatform::CreateDeviceFile(LPCSTR path, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES security,
                                            DWORD creation, DWORD flags, HANDLE templateFile)
{
    return CreateFileA(path, access, shareMode, security, creation, flags, templateFile);
}

BOOL WindowsHidPlatform::CloseHandle(HANDLE handle)
{
    return ::CloseHandle(handle);
}

BOOLEAN WindowsHidPlatform::GetAttributes(HANDLE device, PHIDD_ATTRIBUTES attributes)
{
    return HidD_GetAttributes(device, attributes);
}

void* WindowsHidPlatform::Allocate(std::size_t size)
{
    return std::malloc(size);
}

void WindowsHidPlatform::Free(void* block)
{
    std::free(block);
}

HDEVNOTIFY WindowsHidPlatform::RegisterNotification(HANDLE recipient, LPVOID filter, DWORD flags)
{
    return RegisterDeviceNotificationA(recipient, filter, flags);
}

BOOL WindowsHidPlatform::UnregisterNotification(HDEVNOTIFY handle)
{
    return ::UnregisterDeviceNotification(handle);
}
