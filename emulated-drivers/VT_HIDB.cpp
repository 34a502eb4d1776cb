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

bool Burn(const emulator::BurnRequest& request)
{
    return emulator::BurnTransfer(openDevice, ChipBytes, request);
}

}  // namespace

using emulator::Decimal;
using emulator::ExportType;
using emulator::Hex;

extern "C"
{

    int EMULATED_EXPORT rmDeviceStart(DWORD vendorId, DWORD deviceKey, HWND window, DWORD zero1, DWORD zero2,
                                      DWORD zero3)
    {
        const emulator::CallSite site{emulator::MicrosecondsNow(), LibraryName, "rmDeviceStart"};
        return openDevice.LoggedCall(
            site, {Hex(vendorId), Hex(deviceKey), Hex(window), Decimal(zero1), Decimal(zero2), Decimal(zero3)},
            [&] { return openDevice.Open(vendorId, deviceKey, (zero1 | zero2 | zero3) == 0) ? 1 : 0; });
    }

    int EMULATED_EXPORT rmBurnEEPROM(DWORD direction, DWORD zero, BYTE* buffer, DWORD sizeInBytes)
    {
        const emulator::CallSite site{emulator::MicrosecondsNow(), LibraryName, "rmBurnEEPROM"};
        return openDevice.LoggedCall(site, {Decimal(direction), Decimal(zero), Hex(buffer), Decimal(sizeInBytes)},
                                     [&] {
                                         return Burn({direction, zero, buffer, sizeInBytes}) ? 1 : 0;
                                     });
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
