#include "BurnTransfer.h"

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

}  // namespace emulator
