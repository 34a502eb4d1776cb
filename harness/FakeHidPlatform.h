// A scripted set of HID interfaces behind the platform interface, recording
// what the enumeration does with handles, buffers and registrations.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "HidPlatform.h"

struct FakeInterface
{
    WORD vendor = 0;
    WORD product = 0;
    bool detailFails = false;
    bool reportsNoDetailSize = false;
    bool detailAllocationFails = false;
    bool openFails = false;
    bool attributesFail = false;
};

// An interface that reads well and has these identifiers.
inline FakeInterface FakeDevice(WORD vendor, WORD product)
{
    FakeInterface device;
    device.vendor = vendor;
    device.product = product;
    return device;
}

class FakeHidPlatform : public HidPlatform
{
public:
    std::vector<FakeInterface> interfaces;
    // Runs each time a pass releases its set, with the number of passes so far.
    std::function<void(int passesEnded)> afterPass;
    bool keyArrayAllocationFails = false;
    bool registrationFails = false;

    int passesEnded = 0;
    int openHandles = 0;
    int liveAllocations = 0;
    bool closedAnUnopenedHandle = false;
    int registrations = 0;
    int unregistrations = 0;
    DEV_BROADCAST_DEVICEINTERFACE_A lastFilter = {};
    DWORD lastRegistrationFlags = 0xFFFFFFFF;

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

private:
    std::string PathOf(size_t index) const { return "\\\\?\\hid#fake#" + std::to_string(index); }
    bool m_insidePass = false;
    size_t m_currentInterface = 0;
    // Interfaces as the current pass sees them.
    std::vector<FakeInterface> m_snapshot;
};
