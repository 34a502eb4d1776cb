#include "HidEnumeration.h"

#include "Digits.h"
#include <cstring>

namespace
{
enum class InterfaceOutcome
{
    Skipped,
    Device,
};

// The interface's device path, in a buffer from the platform's allocator, or
// null when the detail cannot be had.
PSP_DEVICE_INTERFACE_DETAIL_DATA_A ReadInterfaceDetail(HidPlatform& platform, HDEVINFO set,
                                                       SP_DEVICE_INTERFACE_DATA& interfaceData)
{
    DWORD requiredSize = 0;
    // Fails for want of a buffer; only the size it reports counts.
    platform.GetDeviceInterfaceDetail(set, &interfaceData, nullptr, 0, &requiredSize, nullptr);
    // Too small a size would not even hold the record's fixed part.
    if (requiredSize < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A))
    {
        return nullptr;
    }
    auto* detail = static_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(platform.Allocate(requiredSize));
    if (detail == nullptr)
    {
        return nullptr;
    }
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    if (!platform.GetDeviceInterfaceDetail(set, &interfaceData, detail, requiredSize, &requiredSize, nullptr))
    {
        platform.Free(detail);
        return nullptr;
    }
    // The path is opened as a C string; make sure it ends inside the buffer.
    reinterpret_cast<char*>(detail)[requiredSize - 1] = '\0';
    return detail;
}

InterfaceOutcome ReadDeviceKey(HidPlatform& platform, HDEVINFO set, SP_DEVICE_INTERFACE_DATA& interfaceData,
                               DeviceKey& key)
{
    PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail = ReadInterfaceDetail(platform, set, interfaceData);
    if (detail == nullptr)
    {
        return InterfaceOutcome::Skipped;
    }

    InterfaceOutcome outcome = InterfaceOutcome::Skipped;
    HANDLE device =
        platform.CreateDeviceFile(detail->DevicePath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (device != INVALID_HANDLE_VALUE)
    {
        HIDD_ATTRIBUTES attributes = {};
        attributes.Size = sizeof attributes;
        if (platform.GetAttributes(device, &attributes))
        {
            key = (static_cast<DeviceKey>(attributes.VendorID & 0xFFFF) << 16) | (attributes.ProductID & 0xFFFF);
            outcome = InterfaceOutcome::Device;
        }
        platform.CloseHandle(device);
    }
    platform.Free(detail);
    return outcome;
}
}  // namespace

LONG EnumerateHidDevices(DWORD capacity, DeviceKey* keys, HidPlatform& platform)
{
    GUID hidGuid;
    platform.GetHidGuid(&hidGuid);
    HDEVINFO set = platform.GetClassDevs(&hidGuid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);

    LONG count = 0;
    DWORD index = 0;
    bool endReached = false;
    bool arrayFull = false;
    SP_DEVICE_INTERFACE_DATA interfaceData = {};
    interfaceData.cbSize = sizeof interfaceData;
    do
    {
        DeviceKey key = 0;
        if (!platform.EnumDeviceInterfaces(set, nullptr, &hidGuid, index, &interfaceData))
        {
            endReached = true;
        }
        else if (ReadDeviceKey(platform, set, interfaceData, key) == InterfaceOutcome::Device)
        {
            if (capacity == 0)
            {
                ++count;
            }
            else if (static_cast<DWORD>(count) < capacity)
            {
                keys[count++] = key;
            }
            else
            {
                arrayFull = true;  // arrived after the counting pass
            }
        }
        ++index;
    } while (!endReached && !arrayFull);

    if (set != INVALID_HANDLE_VALUE)
    {
        platform.DestroyDeviceInfoList(set);
    }
    return count;
}

WORD ParseHexId(const char* text)
{
    char copy[260] = {};
    std::strncpy(copy, text != nullptr ? text : "", sizeof copy - 1);
    _strupr(copy);

    size_t length = std::strlen(copy);
    if (length > 4)
    {
        length = 4;
    }
    unsigned result = 0;
    for (size_t position = 0; position < length; ++position)
    {
        const unsigned shift = 4 * static_cast<unsigned>(length - 1 - position);
        const char character = copy[position];
        if (character >= '0' && character <= '9')
        {
            result += static_cast<unsigned>(character - '0') << shift;
        }
        else if (character >= 'A' && character <= 'F')
        {
            result += static_cast<unsigned>(character - 'A' + 10) << shift;
        }
    }
    return static_cast<WORD>(result);
}

namespace
{
bool ParseHexIdentifier(const std::string& text, WORD& value)
{
    if (text.empty() || text.size() > 4 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
    {
        return false;
    }
    value = 0;
    for (char digit : text)
    {
        const int nibble = digit <= '9' ? digit - '0' : (digit | 0x20) - 'a' + 10;
        value = static_cast<WORD>(value * 16 + nibble);
    }
    return true;
}
}  // namespace

bool ParseDeviceText(const std::string& text, DeviceKey& key)
{
    const size_t colon = text.find(':');
    WORD vendor = 0;
    WORD product = 0;
    if (colon == std::string::npos || !ParseHexIdentifier(text.substr(0, colon), vendor) ||
        !ParseHexIdentifier(text.substr(colon + 1), product))
    {
        return false;
    }
    key = (static_cast<DeviceKey>(vendor) << 16) | product;
    return true;
}

void FormatDeviceName(DeviceKey key, char (&name)[18])
{
    const std::string text = "VID_" + Digits::Hex(key >> 16, 4) + "&PID_" + Digits::Hex(key & 0xFFFF, 4);
    name[text.copy(name, sizeof name - 1)] = '\0';
}

std::vector<DeviceKey> AttachedDevices(HidPlatform& platform)
{
    const LONG counted = EnumerateHidDevices(0, nullptr, platform);
    std::vector<DeviceKey> keys(counted > 0 ? static_cast<size_t>(counted) : 0);
    if (keys.empty())
    {
        return keys;
    }
    const LONG filled = EnumerateHidDevices(static_cast<DWORD>(keys.size()), keys.data(), platform);
    keys.resize(filled > 0 ? static_cast<size_t>(filled) : 0);
    return keys;
}

size_t CountAttached(DeviceKey key, HidPlatform& platform)
{
    size_t matching = 0;
    for (DeviceKey attached : AttachedDevices(platform))
    {
        matching += attached == key;
    }
    return matching;
}
