#include "BurnTransfer.h"

#include "CallLogWriter.h"

#include <algorithm>

namespace emulator
{
namespace
{

bool IsWellFormed(const BurnRequest& request, std::size_t largestSize)
{
    const bool knownDirection =
        request.direction == BurnDirectionToBuffer || request.direction == BurnDirectionToEeprom;
    return knownDirection && request.reserved == 0 && request.buffer != nullptr && request.sizeInBytes > 0 &&
           request.sizeInBytes <= largestSize;
}

}  // namespace

bool BurnTransfer(DeviceSession& device, std::size_t sizeLimit, const BurnRequest& request)
{
    EmulatedChip& chip = device.Chip();
    if (!device.IsOpen() || !IsWellFormed(request, std::min(chip.Size(), sizeLimit)))
    {
        return false;
    }
    if (device.Settings().FailsBurn(request.direction))
    {
        return false;
    }
    if (request.direction == BurnDirectionToEeprom)
    {
        return chip.Write(0, request.buffer, request.sizeInBytes);
    }
    return chip.Read(0, request.buffer, request.sizeInBytes);
}

int LoggedDeviceStart(DeviceSession& device, const char* library, void (*beforeOpen)(), DWORD vendorId, DWORD deviceKey,
                      HWND window, DWORD zero1, DWORD zero2, DWORD zero3)
{
    const CallSite site{MicrosecondsNow(), library, "rmDeviceStart"};
    return device.LoggedCall(
        site, {Hex(vendorId), Hex(deviceKey), Hex(window), Decimal(zero1), Decimal(zero2), Decimal(zero3)},
        [&]
        {
            if (beforeOpen != nullptr)
            {
                beforeOpen();
            }
            return device.Open(vendorId, deviceKey, (zero1 | zero2 | zero3) == 0) ? 1 : 0;
        });
}

int LoggedBurn(DeviceSession& device, const char* library, std::size_t (*sizeLimit)(), const BurnRequest& request)
{
    const CallSite site{MicrosecondsNow(), library, "rmBurnEEPROM"};
    return device.LoggedCall(
        site,
        {Decimal(request.direction), Decimal(request.reserved), Hex(request.buffer), Decimal(request.sizeInBytes)},
        [&] { return device.IsOpen() && BurnTransfer(device, sizeLimit(), request) ? 1 : 0; });
}

}  // namespace emulator
