// The last rows of a line's log, as the station's list shows them. The file
// is read as it is on disk, while a line may be appending to it.
#pragma once

#include <string>
#include <vector>

struct LogRow
{
    std::string time;
    std::string unit;
    std::string result;
    std::string detail;  // the first difference, if any, then what happened
};

// Up to count rows from the end of the log, the newest first; none for a log
// that does not exist yet. Rows that are not six fields are left out.
std::vector<LogRow> LastLogRows(const std::string& log, size_t count);
