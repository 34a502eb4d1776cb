#pragma once

#include <windows.h>

namespace emulator
{

// Owns a file handle; closes it when replaced or destroyed.
class FileHandle
{
public:
    FileHandle() = default;
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() { Reset(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    void Reset(HANDLE handle = INVALID_HANDLE_VALUE)
    {
        if (IsValid())
        {
            CloseHandle(handle_);
        }
        handle_ = handle;
    }
    bool IsValid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return handle_; }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

}  // namespace emulator
