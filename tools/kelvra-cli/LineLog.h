// The production line's record: a CSV file with a header row and one row per
// attempt, each on disk before the operator hears of it. One line at a time
// has it open; a file in another format is refused and left as it is.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ExitStatus.h"

struct LineRow
{
    std::string time;             // local time, ISO 8601 with the offset from UTC
    std::string unit;             // VT-A: the serial; VT-B, VT-C: the running unit number
    std::string device;           // VID_xxxx&PID_xxxx
    std::string result;           // PASS or FAIL
    std::string firstDifference;  // 0x-hex offset, when the verify differed
    std::string detail;           // what went wrong
};

class LineLog
{
public:
    LineLog() = default;
    ~LineLog();
    LineLog(const LineLog&) = delete;
    LineLog& operator=(const LineLog&) = delete;

    // Opens path for this process alone (others may read it). An empty or
    // new file gets the header row; a file with rows must start with it.
    // unitColumn: "serial" or "unit".
    Outcome Open(const std::string& path, const std::string& unitColumn);
    const std::vector<LineRow>& Rows() const { return m_rows; }
    // Appends row and returns once it is flushed to disk.
    Outcome Append(const LineRow& row);

private:
    Outcome Parse(const std::string& contents, const std::string& header);

    HANDLE m_file = INVALID_HANDLE_VALUE;
    std::string m_path;
    std::vector<LineRow> m_rows;
};

// Now, as 2026-12-07T10:30:12+01:00.
std::string LocalTimeIso8601();
