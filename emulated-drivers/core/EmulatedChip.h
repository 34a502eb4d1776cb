#pragma once

#include "EmulatorSettings.h"

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

namespace emulator {

// The EEPROM of one chip: a file of exactly the chip's size in the state folder, named after the
// library and the DeviceKey (VT_HIDA-845E0001.bin). A chip without a file reads as erased.
class EmulatedChip {
public:
    EmulatedChip(const EmulatorSettings& settings, const char* libraryName, DWORD deviceKey,
                 std::size_t chipSize);

    std::size_t Size() const { return chipSize_; }

    // Stores the bytes at once, so a later load of the library meets them.
    bool Write(std::size_t offset, const BYTE* source, std::size_t count) const;

    // Reads as the chip answers: the byte at CorruptReadOffset comes back inverted while the
    // stored byte stays as it is.
    bool Read(std::size_t offset, BYTE* destination, std::size_t count) const;

private:
    bool IsWithinChip(std::size_t offset, std::size_t count) const;
    bool Load(std::vector<BYTE>& contents) const;
    bool Save(const std::vector<BYTE>& contents) const;
    void CorruptAsConfigured(std::size_t offset, BYTE* destination, std::size_t count) const;

    const EmulatorSettings& settings_;
    std::string path_;
    std::size_t chipSize_;
};

std::string ChipFileName(const char* libraryName, DWORD deviceKey);

}  // namespace emulator
