#pragma once

#include "FileHandle.h"

#include <windows.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace emulator
{

// The EEPROM of the open device: a file of exactly the chip's size in the state folder, named
// after the library and the DeviceKey (VT_HIDA-845E0001.bin). A chip without a file reads as
// erased. Loaded at the open and kept in memory; every write also reaches the file before it
// returns, through a handle kept from the first write to the unload, so a crash of the caller
// loses nothing.
class EmulatedChip
{
public:
    // Replaces the chip with the one in path. A file that exists but cannot be read leaves a
    // chip of size 0, on which every transfer fails.
    void Load(const std::string& path, std::size_t chipSize, std::optional<std::size_t> corruptReadOffset);
    // Forgets the chip and closes its file.
    void Unload();

    std::size_t Size() const { return m_contents.size(); }

    bool Write(std::size_t offset, const BYTE* source, std::size_t count);

    // Reads as the chip answers: the byte at CorruptReadOffset comes back inverted while the
    // stored byte stays as it is.
    bool Read(std::size_t offset, BYTE* destination, std::size_t count) const;

private:
    bool IsWithinChip(std::size_t offset, std::size_t count) const;
    bool OpenFileForWrites();
    bool WriteFileAt(std::size_t offset, const BYTE* source, std::size_t count);

    std::string m_path;
    std::vector<BYTE> m_contents;
    std::optional<std::size_t> m_corruptReadOffset;
    FileHandle m_file;
};

std::string ChipFileName(const char* libraryName, DWORD deviceKey);

}  // namespace emulator
