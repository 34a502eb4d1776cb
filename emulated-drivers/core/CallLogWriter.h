#pragma once

#include "FileHandle.h"

#include <windows.h>

#include <cstdint>
#include <initializer_list>
#include <string>

namespace emulator
{

// One line per export call in calls.log of the state folder:
//   <microseconds> <library> <export> <argument>... -> <result>
// Counts, indices, sizes, directions, modes and the reserved zeros are decimal; identifiers,
// data words, handles and pointers are 0x-hex (upper case, no padding).
struct LoggedArgument
{
    enum class Format
    {
        Decimal,
        Hex
    };
    Format format;
    unsigned long long value;
};

inline LoggedArgument Decimal(DWORD value)
{
    return {LoggedArgument::Format::Decimal, value};
}
inline LoggedArgument Hex(DWORD value)
{
    return {LoggedArgument::Format::Hex, value};
}
inline LoggedArgument Hex(const void* pointer)
{
    return {LoggedArgument::Format::Hex, reinterpret_cast<std::uintptr_t>(pointer)};
}

// Where and when an export was entered; taken as the first thing the export does.
struct CallSite
{
    long long enteredMicroseconds;
    const char* library;
    const char* function;
};

// QueryPerformanceCounter in microseconds: comparable between processes of one machine.
long long MicrosecondsNow();

std::string FormatCallLine(const CallSite& site, std::initializer_list<LoggedArgument> arguments, int result);

// calls.log as one library writes it. Each line is a single append, so a crash loses no line and
// several processes can share the log. While a device is open the log stays open (Hold), sparing
// each call an open and a close; otherwise every line opens, appends and closes in the folder
// named at that moment. A log that cannot be written is skipped: no call's result depends on it.
class CallLog
{
public:
    void Hold(const std::string& stateFolder);
    void Release() { m_held.Reset(); }
    void Append(const std::string& line) noexcept;

private:
    FileHandle m_held;
};

}  // namespace emulator
