#include "BurnTransfer.h"

#include "EmulatedChip.h"

#include <algorithm>

namespace emulator {
namespace {

bool IsWellFormed(const BurnRequest& request, std::size_t largestSize) {
    const bool knownDirection = request.direction == BurnDirectionToBuffer ||
                                request.direction == BurnDirectionToEeprom;
    return knownDirection && request.reserved == 0 && request.buffer != nullptr &&
           request.sizeInBytes > 0 && request.sizeInBytes <= largestSize;
}

}  // namespace

bool BurnTransfer(const EmulatorSettings& settings, const DeviceSession& device,
                  std::size_t chipSize, std::size_t sizeLimit, const BurnRequest& request) {
    if (!device.IsOpen() || !IsWellFormed(request, std::min(chipSize, sizeLimit))) return false;
    if (settings.FailsBurn(request.direction)) return false;
    const EmulatedChip chip(settings, device.LibraryName(), device.DeviceKey(), chipSize);
    if (request.direction == BurnDirectionToEeprom)
        return chip.Write(0, request.buffer, request.sizeInBytes);
    return chip.Read(0, request.buffer, request.sizeInBytes);
}

}  // namespace emulator
