#pragma once

#include "CallLogWriter.h"
#include "EmulatedChip.h"
#include "EmulatorSettings.h"

#include <windows.h>

#include <cstddef>
#include <initializer_list>

namespace emulator
{

// Whether the chip's size is fixed or comes from the ChipSize setting of the open.
enum class ChipSizeSource
{
    Fixed,
    Setting
};

// The device a library has open between its open and close calls, with what the open took in:
// the settings, the chip's contents and the call log, all kept until the close (or the unload)
// so the calls in between stay cheap. One per loaded library, like the single device handle of
// a hardware driver; Kelvra calls a library from one thread only.
class DeviceSession
{
public:
    // chipBytes is the chip's size, or with ChipSizeSource::Setting its size when not set.
    DeviceSession(const char* libraryName, std::size_t chipBytes, ChipSizeSource sizeSource = ChipSizeSource::Fixed)
        : m_libraryName(libraryName), m_chipBytes(chipBytes), m_sizeSource(sizeSource)
    {
    }

    // Replaces any open device, also when the new one does not open. Opens only a present
    // device whose vendor identifier agrees with its DeviceKey, with all reserved arguments zero
    // and no FailOpen setting nor FailOpens left.
    bool Open(DWORD vendorId, DWORD deviceKey, bool reservedArgumentsAreZero);
    // False when nothing was open.
    bool Close();

    bool IsOpen() const { return m_isOpen; }
    // Both as read by the open; nothing set and an empty chip while closed.
    const EmulatorSettings& Settings() const { return m_settings; }
    EmulatedChip& Chip() { return m_chip; }

    // Runs an export's body and logs the call. Nothing may escape into a C caller, so an
    // exception is a failed call.
    template <typename Body>
    int LoggedCall(const CallSite& site, std::initializer_list<LoggedArgument> arguments, Body body) noexcept
    {
        int result = 0;
        try
        {
            result = body();
        }
        catch (...)
        {
            result = 0;
        }
        try
        {
            m_log.Append(FormatCallLine(site, arguments, result));
        }
        catch (...)
        {
        }
        // Between operations nothing holds the log, and the next open may name another folder.
        if (!m_isOpen)
        {
            m_log.Release();
        }
        return result;
    }

private:
    const char* m_libraryName;
    std::size_t m_chipBytes;
    ChipSizeSource m_sizeSource;
    bool m_isOpen = false;
    EmulatorSettings m_settings;
    EmulatedChip m_chip;
    CallLog m_log;
};

}  // namespace emulator
