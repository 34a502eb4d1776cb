// VT_HIDB.dll, emulated family-1 chip: 256 bytes of EEPROM moved in one rmBurnEEPROM call.
#include "BurnTransfer.h"
#include "CallLogWriter.h"
#include "DeviceSession.h"
#include "DriverExports.h"
#include "ExportConvention.h"

#include <windows.h>

#include <type_traits>

namespace
{

constexpr char LibraryName[] = "VT_HIDB";
constexpr std::size_t ChipBytes = 256;

emulator::DeviceSession openDevice(LibraryName, ChipBytes);

std::size_t SizeLimit()
{
    return ChipBytes;
}

}  // namespace

using emulator::ExportType;

extern "C"
{

    int EMULATED_EXPORT rmDeviceStart(DWORD vendorId, DWORD deviceKey, HWND window, DWORD zero1, DWORD zero2,
                                      DWORD zero3)
    {
        return emulator::LoggedDeviceStart(openDevice, LibraryName, nullptr, vendorId, deviceKey, window, zero1, zero2,
                                           zero3);
    }

    int EMULATED_EXPORT rmBurnEEPROM(DWORD direction, DWORD zero, BYTE* buffer, DWORD sizeInBytes)
    {
        return emulator::LoggedBurn(openDevice, LibraryName, SizeLimit, {direction, zero, buffer, sizeInBytes});
    }

    int EMULATED_EXPORT rmDeviceClose(void)
    {
        const emulator::CallSite site{emulator::MicrosecondsNow(), LibraryName, "rmDeviceClose"};
        return openDevice.LoggedCall(site, {}, [] { return openDevice.Close() ? 1 : 0; });
    }

}  // extern "C"

static_assert(std::is_same_v<decltype(&rmDeviceStart), ExportType<rmDeviceStartFunction>>);
static_assert(std::is_same_v<decltype(&rmBurnEEPROM), ExportType<rmBurnEEPROMFunction>>);
static_assert(std::is_same_v<decltype(&rmDeviceClose), ExportType<rmDeviceCloseFunction>>);
