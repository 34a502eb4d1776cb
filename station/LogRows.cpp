#include "LogRows.h"

#include <windows.h>

#include "Joined.h"
#include "LineLog.h"
#include "WideText.h"

namespace
{
// Far more than the rows the list shows, however long their details.
const DWORD TailBytes = 64 * 1024;

std::string ReadTail(const std::string& log)
{
    const std::vector<wchar_t> name = WideFromUtf8(log);
    // A line may hold the log open for writing.
    HANDLE file = CreateFileW(name.data(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
    {
        return std::string();
    }
    std::string tail;
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file, &size))
    {
        const DWORD length = size.QuadPart > TailBytes ? TailBytes : static_cast<DWORD>(size.QuadPart);
        LARGE_INTEGER from{};
        from.QuadPart = size.QuadPart - length;
        tail.assign(length, '\0');
        DWORD read = 0;
        if (!SetFilePointerEx(file, from, nullptr, FILE_BEGIN) ||
            (length != 0 && !ReadFile(file, &tail[0], length, &read, nullptr)))
        {
            read = 0;
        }
        tail.resize(read);
        // A tail that starts inside a row starts with its next one.
        if (from.QuadPart != 0)
        {
            tail.erase(0, tail.find('\n') + 1);
        }
    }
    CloseHandle(file);
    return tail;
}

bool ToRow(const std::string& line, LogRow& row)
{
    std::string difference;
    std::string detail;
    std::string* const fields[] = {&row.time, &row.unit, nullptr, &row.result, &difference, &detail};
    if (!SplitCsvRow(line, fields, 6) || row.time == "time")
    {
        return false;
    }
    row.detail = difference.empty() ? detail : Joined({"at ", difference, detail.empty() ? "" : ": ", detail});
    return true;
}
}  // namespace

std::vector<LogRow> LastLogRows(const std::string& log, size_t count)
{
    const std::string tail = ReadTail(log);
    std::vector<LogRow> rows;
    size_t end = tail.size();
    while (end > 0 && rows.size() < count)
    {
        const size_t begin = tail.rfind('\n', end - 1 - (tail[end - 1] == '\n'));
        const size_t first = begin == std::string::npos ? 0 : begin + 1;
        std::string line = tail.substr(first, end - first);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        {
            line.pop_back();
        }
        LogRow row;
        if (ToRow(line, row))
        {
            rows.push_back(std::move(row));
        }
        end = first;
    }
    return rows;
}
