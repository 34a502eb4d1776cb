#include "FakeHidPlatform.h"

#include <cstdlib>
#include <cstring>

#include "DeviceBroadcast.h"

void FakeHidPlatform::GetHidGuid(GUID* hidGuid)
{
    *hidGuid = HidInterfaceClass;
}

HDEVINFO FakeHidPlatform::GetClassDevs(const GUID*, PCSTR, HWND, DWORD flags)
{
    if (flags != (DIGCF_PRESENT | DIGCF_DEVICEINTERFACE))
    {
        return INVALID_HANDLE_VALUE;
    }
    m_insidePass = true;
    m_snapshot = interfaces;
    return reinterpret_cast<HDEVINFO>(static_cast<INT_PTR>(0x5E7));
}

BOOL FakeHidPlatform::EnumDeviceInterfaces(HDEVINFO, PSP_DEVINFO_DATA, const GUID*, DWORD index,
                                           PSP_DEVICE_INTERFACE_DATA interfaceData)
{
    if (index >= m_snapshot.size() || interfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA))
    {
        return FALSE;
    }
    m_currentInterface = index;
    interfaceData->Reserved = index;
    return TRUE;
}

BOOL FakeHidPlatform::GetDeviceInterfaceDetail(HDEVINFO, PSP_DEVICE_INTERFACE_DATA interfaceData,
                                               PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail, DWORD detailSize,
                                               PDWORD requiredSize, PSP_DEVINFO_DATA)
{
    const size_t index = interfaceData->Reserved;
    const FakeInterface& device = m_snapshot.at(index);
    const std::string path = PathOf(index);
    const DWORD needed = static_cast<DWORD>(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) + path.size() + 1);
    if (requiredSize != nullptr)
    {
        *requiredSize = device.reportsNoDetailSize ? 0 : needed;
    }
    if (detail == nullptr || detailSize < needed || device.detailFails)
    {
        return FALSE;
    }
    if (detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A))
    {
        return FALSE;
    }
    std::memcpy(detail->DevicePath, path.c_str(), path.size() + 1);
    return TRUE;
}

BOOL FakeHidPlatform::DestroyDeviceInfoList(HDEVINFO)
{
    m_insidePass = false;
    ++passesEnded;
    if (afterPass)
    {
        afterPass(passesEnded);
    }
    return TRUE;
}

HANDLE FakeHidPlatform::CreateDeviceFile(LPCSTR path, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES,
                                         DWORD creation, DWORD flags, HANDLE)
{
    const size_t index = m_currentInterface;
    if (path != PathOf(index) || m_snapshot.at(index).openFails)
    {
        return INVALID_HANDLE_VALUE;
    }
    if (access != (GENERIC_READ | GENERIC_WRITE) || shareMode != (FILE_SHARE_READ | FILE_SHARE_WRITE) ||
        creation != OPEN_EXISTING || flags != FILE_FLAG_OVERLAPPED)
    {
        return INVALID_HANDLE_VALUE;
    }
    ++openHandles;
    return reinterpret_cast<HANDLE>(static_cast<INT_PTR>(0x1000 + index));
}

BOOL FakeHidPlatform::CloseHandle(HANDLE handle)
{
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr)
    {
        closedAnUnopenedHandle = true;
        return FALSE;
    }
    --openHandles;
    return TRUE;
}

BOOLEAN FakeHidPlatform::GetAttributes(HANDLE device, PHIDD_ATTRIBUTES attributes)
{
    const size_t index = static_cast<size_t>(reinterpret_cast<INT_PTR>(device) - 0x1000);
    if (index >= m_snapshot.size() || attributes->Size != sizeof(HIDD_ATTRIBUTES) || m_snapshot[index].attributesFail)
    {
        return FALSE;
    }
    attributes->VendorID = m_snapshot[index].vendor;
    attributes->ProductID = m_snapshot[index].product;
    return TRUE;
}

void* FakeHidPlatform::Allocate(std::size_t size)
{
    const bool fails = m_insidePass ? m_snapshot.at(m_currentInterface).detailAllocationFails : keyArrayAllocationFails;
    if (fails)
    {
        return nullptr;
    }
    ++liveAllocations;
    return std::malloc(size == 0 ? 1 : size);
}

void FakeHidPlatform::Free(void* block)
{
    if (block != nullptr)
    {
        --liveAllocations;
    }
    std::free(block);
}

HDEVNOTIFY FakeHidPlatform::RegisterNotification(HANDLE, LPVOID filter, DWORD flags)
{
    std::memcpy(&lastFilter, filter, sizeof lastFilter);
    lastRegistrationFlags = flags;
    if (registrationFails)
    {
        return nullptr;
    }
    ++registrations;
    return reinterpret_cast<HDEVNOTIFY>(static_cast<INT_PTR>(0xD0));
}

BOOL FakeHidPlatform::UnregisterNotification(HDEVNOTIFY)
{
    ++unregistrations;
    return TRUE;
}
