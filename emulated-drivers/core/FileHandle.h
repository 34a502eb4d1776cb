#pragma once

#include <windows.h>

namespace emulator
{

// Owns a file handle; closes it when replaced or destroyed.
class FileHandle
{
public:
    FileHandle() = default;
    explicit FileHandle(HANDLE handle) : m_handle(handle) {}
    ~FileHandle() { Reset(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    void Reset(HANDLE handle = INVALID_HANDLE_VALUE)
    {
        if (IsValid())
        {
            CloseHandle(m_handle);
        }
        m_handle = handle;
    }
    bool IsValid() const { return m_handle != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return m_handle; }

private:
    HANDLE m_handle = INVALID_HANDLE_VALUE;
};

}  // namespace emulator
