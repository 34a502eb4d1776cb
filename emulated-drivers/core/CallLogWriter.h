#pragma once

#include <windows.h>

#include <cstdint>
#include <initializer_list>
#include <string>

namespace emulator {

// One line per export call in calls.log of the state folder:
//   <microseconds> <library> <export> <argument>... -> <result>
// Counts, indices, sizes, directions, modes and the reserved zeros are decimal; identifiers,
// data words, handles and pointers are 0x-hex (upper case, no padding).
struct LoggedArgument {
    enum class Format { Decimal, Hex };
    Format format;
    unsigned long long value;
};

inline LoggedArgument Decimal(DWORD value) { return {LoggedArgument::Format::Decimal, value}; }
inline LoggedArgument Hex(DWORD value) { return {LoggedArgument::Format::Hex, value}; }
inline LoggedArgument Hex(const void* pointer) {
    return {LoggedArgument::Format::Hex, reinterpret_cast<std::uintptr_t>(pointer)};
}

// Where and when an export was entered; taken as the first thing the export does.
struct CallSite {
    long long enteredMicroseconds;
    const char* library;
    const char* function;
};

// QueryPerformanceCounter in microseconds: comparable between processes of one machine.
long long MicrosecondsNow();

std::string FormatCallLine(const CallSite& site, std::initializer_list<LoggedArgument> arguments,
                           int result);

// Opens, appends and closes at every call, so a crash loses no line and several processes can
// share the log. A log that cannot be written is skipped: the call's result does not depend on it.
void AppendToCallLog(const std::string& line) noexcept;

// Runs an export's body and logs the call. Nothing may escape into a C caller, so an exception
// is a failed call.
template <typename Body>
int LoggedCall(const CallSite& site, std::initializer_list<LoggedArgument> arguments,
               Body body) noexcept {
    int result = 0;
    try {
        result = body();
    } catch (...) {
        result = 0;
    }
    try {
        AppendToCallLog(FormatCallLine(site, arguments, result));
    } catch (...) {
    }
    return result;
}

}  // namespace emulator
