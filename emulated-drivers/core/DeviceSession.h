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
        : libraryName_(libraryName), chipBytes_(chipBytes), sizeSource_(sizeSource)
    {
    }

    // Replaces any open device, also when the new one does not open. Opens only a present
    // device whose vendor identifier agrees with its DeviceKey, with all reserved arguments zero
    // and no FailOpen setting.
    bool Open(DWORD vendorId, DWORD deviceKey, bool reservedArgumentsAreZero);
    // False when nothing was open.
    bool Close();

    bool IsOpen() const { return isOpen_; }
    // Both as read by the open; nothing set and an empty chip while closed.
    const EmulatorSettings& Settings() const { return settings_; }
    EmulatedChip& Chip() { return chip_; }

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
            log_.Append(FormatCallLine(site, arguments, result));
        }
        catch (...)
        {
        }
        // Between operations nothing holds the log, and the next open may name another folder.
        if (!isOpen_)
        {
            log_.Release();
        }
        return result;
    }

private:
    const char* libraryName_;
    std::size_t chipBytes_;
    ChipSizeSource sizeSource_;
    bool isOpen_ = false;
    EmulatorSettings settings_;
    EmulatedChip chip_;
    CallLog log_;
};

}  // namespace emulator
