#pragma once

#include <windows.h>

namespace emulator
{

// True when a HID device with these identifiers is attached, as SetupAPI lists it.
bool IsHidDevicePresent(WORD vendorId, WORD productId);

}  // namespace emulator
