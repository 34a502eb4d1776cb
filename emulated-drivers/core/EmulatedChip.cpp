#include "EmulatedChip.h"

#include <cstdio>
#include <cstring>

namespace emulator
{
namespace
{

constexpr BYTE ErasedByte = 0xFF;

// A chip nobody wrote yet.
bool IsMissingFileError(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

}  // namespace

std::string ChipFileName(const char* libraryName, DWORD deviceKey)
{
    char name[64];
    std::snprintf(name, sizeof name, "%s-%08lX.bin", libraryName, static_cast<unsigned long>(deviceKey));
    return name;
}

// A file shorter than the chip (its size setting grew) reads erased past its end; a longer one is
// cut to the chip at the first write.
void EmulatedChip::Load(const std::string& path, std::size_t chipSize, std::optional<std::size_t> corruptReadOffset)
{
    Unload();
    m_path = path;
    m_corruptReadOffset = corruptReadOffset;
    m_contents.assign(chipSize, ErasedByte);
    const FileHandle file(CreateFileA(m_path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid())
    {
        if (!IsMissingFileError(GetLastError()))
        {
            m_contents.clear();
        }
        return;
    }
    DWORD bytesRead = 0;
    if (!ReadFile(file.Get(), m_contents.data(), static_cast<DWORD>(m_contents.size()), &bytesRead, nullptr))
    {
        m_contents.clear();
    }
}

void EmulatedChip::Unload()
{
    m_file.Reset();
    m_contents.clear();
    m_path.clear();
}

bool EmulatedChip::IsWithinChip(std::size_t offset, std::size_t count) const
{
    return count > 0 && offset <= Size() && count <= Size() - offset;
}

bool EmulatedChip::Write(std::size_t offset, const BYTE* source, std::size_t count)
{
    if (source == nullptr || !IsWithinChip(offset, count))
    {
        return false;
    }
    if (!m_file.IsValid() && !OpenFileForWrites())
    {
        return false;
    }
    if (!WriteFileAt(offset, source, count))
    {
        return false;
    }
    std::memcpy(m_contents.data() + offset, source, count);
    return true;
}

bool EmulatedChip::Read(std::size_t offset, BYTE* destination, std::size_t count) const
{
    if (destination == nullptr || !IsWithinChip(offset, count))
    {
        return false;
    }
    std::memcpy(destination, m_contents.data() + offset, count);
    if (m_corruptReadOffset.has_value() && *m_corruptReadOffset >= offset && *m_corruptReadOffset - offset < count)
    {
        destination[*m_corruptReadOffset - offset] ^= 0xFF;
    }
    return true;
}

// Stores the whole chip once, so the file has exactly the chip's size before the first
// write of this open changes just its own bytes.
bool EmulatedChip::OpenFileForWrites()
{
    m_file.Reset(CreateFileA(m_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (m_file.IsValid() && WriteFileAt(0, m_contents.data(), m_contents.size()) && SetEndOfFile(m_file.Get()))
    {
        return true;
    }
    m_file.Reset();
    return false;
}

// Moving the file pointer first: under Wine a write at an offset given in OVERLAPPED costs
// several times as much.
bool EmulatedChip::WriteFileAt(std::size_t offset, const BYTE* source, std::size_t count)
{
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(offset);
    DWORD bytesWritten = 0;
    return SetFilePointerEx(m_file.Get(), position, nullptr, FILE_BEGIN) &&
           WriteFile(m_file.Get(), source, static_cast<DWORD>(count), &bytesWritten, nullptr) && bytesWritten == count;
}

}  // namespace emulator
