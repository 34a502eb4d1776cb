#include "DeviceSession.h"

#include "DevicePresence.h"
#include "StateFolder.h"

namespace emulator
{
namespace
{

bool IsPresent(const EmulatorSettings& settings, DWORD deviceKey)
{
    return settings.AllDevicesPresent() || IsHidDevicePresent(HIWORD(deviceKey), LOWORD(deviceKey));
}

}  // namespace

bool DeviceSession::Open(DWORD vendorId, DWORD deviceKey, bool reservedArgumentsAreZero)
{
    Close();
    // A failed open logs where calls without a device do.
    log_.Release();
    const std::string folder = StateFolderPath();
    // Without a state folder no write could ever be kept.
    if (!EnsureFolderExists(folder))
    {
        return false;
    }
    if (!reservedArgumentsAreZero || vendorId != HIWORD(deviceKey))
    {
        return false;
    }
    EmulatorSettings settings(folder, libraryName_);
    if (settings.FailsOpen() || !IsPresent(settings, deviceKey))
    {
        return false;
    }

    const std::size_t chipBytes = sizeSource_ == ChipSizeSource::Setting ? settings.ChipSize(chipBytes_) : chipBytes_;
    chip_.Load(PathInFolder(folder, ChipFileName(libraryName_, deviceKey)), chipBytes, settings.CorruptReadOffset());
    settings_ = settings;
    log_.Hold(folder);
    isOpen_ = true;
    return true;
}

bool DeviceSession::Close()
{
    const bool wasOpen = isOpen_;
    isOpen_ = false;
    settings_ = {};
    chip_.Unload();
    return wasOpen;
}

}  // namespace emulator
