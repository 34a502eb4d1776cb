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
    m_log.Release();
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
    EmulatorSettings settings(folder, m_libraryName);
    if (settings.FailsOpen() || settings.TakeFailedOpen(folder, m_libraryName) || !IsPresent(settings, deviceKey))
    {
        return false;
    }

    const std::size_t chipBytes =
        m_sizeSource == ChipSizeSource::Setting ? settings.ChipSize(m_chipBytes) : m_chipBytes;
    m_chip.Load(PathInFolder(folder, ChipFileName(m_libraryName, deviceKey)), chipBytes, settings.CorruptReadOffset());
    m_settings = settings;
    m_log.Hold(folder);
    m_isOpen = true;
    return true;
}

bool DeviceSession::Close()
{
    const bool wasOpen = m_isOpen;
    m_isOpen = false;
    m_settings = {};
    m_chip.Unload();
    return wasOpen;
}

}  // namespace emulator
