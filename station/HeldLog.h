// The station's log, kept open from the line's first start until the window
// closes. Reads and writes are shared, deletion is not: Windows refuses to
// rename or delete the file meanwhile, so a series never starts again on a
// new log unnoticed.
#pragma once

#include <windows.h>

#include <string>

class HeldLog
{
public:
    HeldLog() = default;
    ~HeldLog();
    HeldLog(const HeldLog&) = delete;
    HeldLog& operator=(const HeldLog&) = delete;

    // Holds the file path names (UTF-8), unless one is held already.
    void Hold(const std::string& path);
    // A log is held, and path no longer names that file.
    bool Gone(const std::string& path) const;

private:
    HANDLE m_file = INVALID_HANDLE_VALUE;
};
