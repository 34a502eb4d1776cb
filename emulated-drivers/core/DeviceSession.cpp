#include "DeviceSession.h"

#include "DevicePresence.h"
#include "EmulatorSettings.h"
#include "StateFolder.h"

namespace emulator {
namespace {

bool IsPresent(const EmulatorSettings& settings, DWORD deviceKey) {
    return settings.AllDevicesPresent() ||
           IsHidDevicePresent(HIWORD(deviceKey), LOWORD(deviceKey));
}

}  // namespace

bool DeviceSession::Open(DWORD vendorId, DWORD deviceKey, bool reservedArgumentsAreZero) {
    Close();
    const EmulatorSettings settings(libraryName_);
    // Without a state folder no write could ever be kept.
    if (!EnsureFolderExists(settings.StateFolder())) return false;
    if (!reservedArgumentsAreZero || vendorId != HIWORD(deviceKey)) return false;
    if (settings.FailsOpen() || !IsPresent(settings, deviceKey)) return false;
    isOpen_ = true;
    deviceKey_ = deviceKey;
    return true;
}

bool DeviceSession::Close() {
    const bool wasOpen = isOpen_;
    isOpen_ = false;
    deviceKey_ = 0;
    return wasOpen;
}

}  // namespace emulator
