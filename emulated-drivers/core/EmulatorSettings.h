#pragma once

#include <windows.h>

#include <cstddef>
#include <optional>
#include <string>

namespace emulator
{

// Faults and options from emulator.ini, read once when a device opens and kept for that open:
// reading the file at every call would cost more than the call itself. A key that is missing,
// empty or not a whole number (decimal or 0x-hex) counts as not set.
class EmulatorSettings
{
public:
    // Nothing set.
    EmulatorSettings() = default;
    // Reads emulator.ini of stateFolder; librarySection is the library's own, e.g. "VT_HIDA".
    EmulatorSettings(const std::string& stateFolder, const char* librarySection);

    bool FailsOpen() const { return m_failOpen; }
    // FailOpens=k: the next k opens fail, as a device's may just after it arrives. True when
    // this open is one of them; it counts the setting down in emulator.ini.
    bool TakeFailedOpen(const std::string& stateFolder, const char* librarySection) const;
    bool FailsWriteOfWord(DWORD wordIndex) const { return IsIndex(m_failWriteWord, wordIndex); }
    bool FailsReadOfWord(DWORD wordIndex) const { return IsIndex(m_failReadWord, wordIndex); }
    bool FailsBurn(DWORD direction) const;
    std::optional<std::size_t> CorruptReadOffset() const;
    bool AllDevicesPresent() const { return m_allDevicesPresent; }
    // ChipSize of the library's section, or fallback when not set; 0 when set out of range.
    std::size_t ChipSize(std::size_t fallback) const;

private:
    static bool IsIndex(const std::optional<long long>& setting, DWORD index)
    {
        return setting == static_cast<long long>(index);
    }

    bool m_allDevicesPresent = false;
    bool m_failOpen = false;
    std::optional<long long> m_failOpens;
    std::optional<long long> m_failWriteWord;
    std::optional<long long> m_failReadWord;
    bool m_failBurn = false;
    bool m_failBurnRead = false;
    bool m_failBurnWrite = false;
    std::optional<long long> m_corruptReadOffset;
    std::optional<long long> m_chipSize;
};

}  // namespace emulator
