#include "EmulatedChip.h"

#include "StateFolder.h"

#include <cstdio>
#include <cstring>

namespace emulator {
namespace {

constexpr BYTE ErasedByte = 0xFF;

class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() {
        if (IsValid()) CloseHandle(handle_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    bool IsValid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return handle_; }

private:
    HANDLE handle_;
};

// A chip nobody wrote yet, possibly in a state folder not created yet.
bool IsMissingFileError(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

}  // namespace

std::string ChipFileName(const char* libraryName, DWORD deviceKey) {
    char name[64];
    std::snprintf(name, sizeof name, "%s-%08lX.bin", libraryName,
                  static_cast<unsigned long>(deviceKey));
    return name;
}

EmulatedChip::EmulatedChip(const EmulatorSettings& settings, const char* libraryName,
                           DWORD deviceKey, std::size_t chipSize)
    : settings_(settings),
      path_(PathInFolder(settings.StateFolder(), ChipFileName(libraryName, deviceKey))),
      chipSize_(chipSize) {}

bool EmulatedChip::IsWithinChip(std::size_t offset, std::size_t count) const {
    return count > 0 && offset <= chipSize_ && count <= chipSize_ - offset;
}

bool EmulatedChip::Write(std::size_t offset, const BYTE* source, std::size_t count) const {
    if (source == nullptr || !IsWithinChip(offset, count)) return false;
    std::vector<BYTE> contents;
    if (!Load(contents)) return false;
    std::memcpy(contents.data() + offset, source, count);
    return Save(contents);
}

bool EmulatedChip::Read(std::size_t offset, BYTE* destination, std::size_t count) const {
    if (destination == nullptr || !IsWithinChip(offset, count)) return false;
    std::vector<BYTE> contents;
    if (!Load(contents)) return false;
    std::memcpy(destination, contents.data() + offset, count);
    CorruptAsConfigured(offset, destination, count);
    return true;
}

void EmulatedChip::CorruptAsConfigured(std::size_t offset, BYTE* destination,
                                       std::size_t count) const {
    const std::optional<std::size_t> corruptOffset = settings_.CorruptReadOffset();
    if (!corruptOffset.has_value() || *corruptOffset < offset || *corruptOffset - offset >= count)
        return;
    destination[*corruptOffset - offset] ^= 0xFF;
}

// A file shorter than the chip (its size setting grew) reads erased past its end; a longer one is
// cut to the chip. Either way the next write stores exactly the chip's size.
bool EmulatedChip::Load(std::vector<BYTE>& contents) const {
    contents.assign(chipSize_, ErasedByte);
    if (settings_.StateFolder().empty()) return false;
    const FileHandle file(CreateFileA(path_.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) return IsMissingFileError(GetLastError());
    DWORD bytesRead = 0;
    return ReadFile(file.Get(), contents.data(), static_cast<DWORD>(chipSize_), &bytesRead,
                    nullptr) != FALSE;
}

bool EmulatedChip::Save(const std::vector<BYTE>& contents) const {
    if (!EnsureFolderExists(settings_.StateFolder())) return false;
    const FileHandle file(CreateFileA(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) return false;
    DWORD bytesWritten = 0;
    const DWORD size = static_cast<DWORD>(contents.size());
    return WriteFile(file.Get(), contents.data(), size, &bytesWritten, nullptr) != FALSE &&
           bytesWritten == size;
}

}  // namespace emulator
