#include "DevicePresence.h"

#include <setupapi.h>

// This MinGW's hidsdi.h declares its functions without C linkage.
extern "C"
{
#include <hidsdi.h>
}

#include <string>
#include <vector>

namespace emulator
{
namespace
{

class DeviceInfoList
{
public:
    explicit DeviceInfoList(const GUID& interfaceClass)
        : m_handle(SetupDiGetClassDevsA(&interfaceClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE))
    {
    }
    ~DeviceInfoList()
    {
        if (IsValid())
        {
            SetupDiDestroyDeviceInfoList(m_handle);
        }
    }
    DeviceInfoList(const DeviceInfoList&) = delete;
    DeviceInfoList& operator=(const DeviceInfoList&) = delete;

    bool IsValid() const { return m_handle != INVALID_HANDLE_VALUE; }
    HDEVINFO Get() const { return m_handle; }

private:
    HDEVINFO m_handle;
};

std::string InterfacePath(HDEVINFO list, SP_DEVICE_INTERFACE_DATA& interfaceData)
{
    DWORD requiredSize = 0;
    SetupDiGetDeviceInterfaceDetailA(list, &interfaceData, nullptr, 0, &requiredSize, nullptr);
    if (requiredSize < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A))
    {
        return {};
    }
    std::vector<BYTE> storage(requiredSize);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(storage.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    if (!SetupDiGetDeviceInterfaceDetailA(list, &interfaceData, detail, requiredSize, nullptr, nullptr))
    {
        return {};
    }
    return detail->DevicePath;
}

bool DeviceHasIdentifiers(const std::string& path, WORD vendorId, WORD productId)
{
    // No access rights asked: enough for the attributes, and allowed on devices the system
    // holds open, such as keyboards and mice.
    const HANDLE device =
        CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (device == INVALID_HANDLE_VALUE)
    {
        return false;
    }
    HIDD_ATTRIBUTES attributes = {};
    attributes.Size = sizeof attributes;
    const bool matches =
        HidD_GetAttributes(device, &attributes) && attributes.VendorID == vendorId && attributes.ProductID == productId;
    CloseHandle(device);
    return matches;
}

}  // namespace

bool IsHidDevicePresent(WORD vendorId, WORD productId)
{
    GUID hidClass;
    HidD_GetHidGuid(&hidClass);
    const DeviceInfoList list(hidClass);
    if (!list.IsValid())
    {
        return false;
    }
    SP_DEVICE_INTERFACE_DATA interfaceData = {};
    interfaceData.cbSize = sizeof interfaceData;
    for (DWORD index = 0; SetupDiEnumDeviceInterfaces(list.Get(), nullptr, &hidClass, index, &interfaceData); ++index)
    {
        const std::string path = InterfacePath(list.Get(), interfaceData);
        if (!path.empty() && DeviceHasIdentifiers(path, vendorId, productId))
        {
            return true;
        }
    }
    return false;
}

}  // namespace emulator
