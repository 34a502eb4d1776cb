#pragma once

#include <windows.h>

#include <cstddef>
#include <optional>
#include <string>

namespace emulator {

// Faults and options from emulator.ini in the state folder. Every accessor reads the file again,
// so a test may change a setting between two calls of one operation. A key that is missing, empty
// or not a whole number (decimal or 0x-hex) counts as not set.
class EmulatorSettings {
public:
    // librarySection is the library's own section, e.g. "VT_HIDA".
    explicit EmulatorSettings(const char* librarySection);

    const std::string& StateFolder() const { return stateFolder_; }

    bool FailsOpen() const;
    bool FailsWriteOfWord(DWORD wordIndex) const;
    bool FailsReadOfWord(DWORD wordIndex) const;
    bool FailsBurn(DWORD direction) const;
    std::optional<std::size_t> CorruptReadOffset() const;
    bool AllDevicesPresent() const;
    // ChipSize of the library's section, or fallback when not set; 0 when set out of range.
    std::size_t ChipSize(std::size_t fallback) const;

private:
    std::optional<long long> Number(const char* section, const char* key) const;
    bool Flag(const char* section, const char* key) const;
    bool Equals(const char* key, DWORD value) const;

    std::string stateFolder_;
    std::string iniPath_;
    const char* librarySection_;
};

}  // namespace emulator
