// Owns a file handle; closes it when replaced or destroyed.
#pragma once

#include <windows.h>

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
    // Closes it now, for a caller that must know the close succeeded: a
    // written file's last bytes may fail only there.
    bool Close()
    {
        const bool closed = CloseHandle(m_handle) != FALSE;
        m_handle = INVALID_HANDLE_VALUE;
        return closed;
    }
    bool IsValid() const { return m_handle != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return m_handle; }

private:
    HANDLE m_handle = INVALID_HANDLE_VALUE;
};
