#pragma once

#include "DeviceSession.h"

#include <windows.h>

#include <cstddef>

namespace emulator
{

constexpr DWORD BurnDirectionToBuffer = 0;
constexpr DWORD BurnDirectionToEeprom = 1;

struct BurnRequest
{
    DWORD direction;
    DWORD reserved;
    BYTE* buffer;
    DWORD sizeInBytes;
};

// One rmBurnEEPROM of families 1 and 2: moves the first sizeInBytes bytes between the buffer and
// the open device's EEPROM. Fails without touching either for a closed device, a reserved
// argument other than 0, an unknown direction, no buffer, a size of 0 or above sizeLimit (never
// above the chip), or a FailBurn setting.
bool BurnTransfer(DeviceSession& device, std::size_t sizeLimit, const BurnRequest& request);

// The logged bodies of rmDeviceStart and rmBurnEEPROM, which families 1 and 2 share; each library
// defines its own exports around them. beforeOpen (may be null) runs first in the open; sizeLimit
// is asked at the burn, once the device is known to be open.
int LoggedDeviceStart(DeviceSession& device, const char* library, void (*beforeOpen)(), DWORD vendorId, DWORD deviceKey,
                      HWND window, DWORD zero1, DWORD zero2, DWORD zero3);
int LoggedBurn(DeviceSession& device, const char* library, std::size_t (*sizeLimit)(), const BurnRequest& request);

}  // namespace emulator
