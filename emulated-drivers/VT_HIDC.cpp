// VT_HIDC.dll, emulated family-2 chip: EEPROM of a configurable size (ChipSize, 2048 bytes by
// default) moved in one rmBurnEEPROM call, after rmSetEEPROMSize has told the chip its size.
#include "BurnTransfer.h"
#include "CallLogWriter.h"
#include "DeviceSession.h"
#include "DriverExports.h"
#include "ExportConvention.h"

#include <windows.h>

#include <type_traits>

namespace
{

constexpr char LibraryName[] = "VT_HIDC";
constexpr std::size_t DefaultChipBytes = 2048;
constexpr DWORD SizeModeBytes = 1;

emulator::DeviceSession openDevice(LibraryName, DefaultChipBytes, emulator::ChipSizeSource::Setting);
// The size accepted by the last rmSetEEPROMSize of this open; 0 while none was. A burn larger
// than it fails, as a chip told a smaller size would stop there; without any, only the chip's
// own size limits a burn.
DWORD configuredSize = 0;

bool SetSize(DWORD mode, DWORD sizeInBytes)
{
    if (!openDevice.IsOpen() || mode != SizeModeBytes)
    {
        return false;
    }
    if (sizeInBytes == 0 || sizeInBytes > openDevice.Chip().Size())
    {
        return false;
    }
    configuredSize = sizeInBytes;
    return true;
}

std::size_t SizeLimit()
{
    return configuredSize != 0 ? configuredSize : openDevice.Chip().Size();
}

void ForgetSize()
{
    configuredSize = 0;
}

}  // namespace

using emulator::Decimal;
using emulator::ExportType;

extern "C"
{

    int EMULATED_EXPORT rmDeviceStart(DWORD vendorId, DWORD deviceKey, HWND window, DWORD zero1, DWORD zero2,
                                      DWORD zero3)
    {
        return emulator::LoggedDeviceStart(openDevice, LibraryName, ForgetSize, vendorId, deviceKey, window, zero1,
                                           zero2, zero3);
    }

    int EMULATED_EXPORT rmSetEEPROMSize(DWORD mode, DWORD sizeInBytes)
    {
        const emulator::CallSite site{emulator::MicrosecondsNow(), LibraryName, "rmSetEEPROMSize"};
        return openDevice.LoggedCall(site, {Decimal(mode), Decimal(sizeInBytes)},
                                     [&] { return SetSize(mode, sizeInBytes) ? 1 : 0; });
    }

    int EMULATED_EXPORT rmBurnEEPROM(DWORD direction, DWORD zero, BYTE* buffer, DWORD sizeInBytes)
    {
        return emulator::LoggedBurn(openDevice, LibraryName, SizeLimit, {direction, zero, buffer, sizeInBytes});
    }

    int EMULATED_EXPORT rmDeviceClose(void)
    {
        const emulator::CallSite site{emulator::MicrosecondsNow(), LibraryName, "rmDeviceClose"};
        return openDevice.LoggedCall(site, {},
                                     []
                                     {
                                         ForgetSize();
                                         return openDevice.Close() ? 1 : 0;
                                     });
    }

}  // extern "C"

static_assert(std::is_same_v<decltype(&rmDeviceStart), ExportType<rmDeviceStartFunction>>);
static_assert(std::is_same_v<decltype(&rmSetEEPROMSize), ExportType<rmSetEEPROMSizeFunction>>);
static_assert(std::is_same_v<decltype(&rmBurnEEPROM), ExportType<rmBurnEEPROMFunction>>);
static_assert(std::is_same_v<decltype(&rmDeviceClose), ExportType<rmDeviceCloseFunction>>);
