#include "LineLog.h"

#include <cstdio>

#include "Console.h"
#include "Files.h"

namespace
{
// A log of a few hundred thousand rows is far below this.
const DWORD LargestLog = 64u * 1024 * 1024;

std::string HeaderFor(const std::string& unitColumn)
{
    return "time," + unitColumn + ",device,result,first_difference,detail";
}

std::string CsvField(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
    {
        return text;
    }
    std::string quoted = "\"";
    for (char character : text)
    {
        if (character == '"')
        {
            quoted += '"';
        }
        quoted += character == '\r' || character == '\n' ? ' ' : character;
    }
    return quoted + "\"";
}

// One line's fields; false for an unclosed quote.
bool SplitCsv(const std::string& line, std::vector<std::string>& fields)
{
    fields.assign(1, std::string());
    bool quoted = false;
    for (size_t index = 0; index < line.size(); ++index)
    {
        const char character = line[index];
        if (quoted && character == '"' && index + 1 < line.size() && line[index + 1] == '"')
        {
            fields.back() += line[++index];
        }
        else if (character == '"')
        {
            quoted = !quoted;
        }
        else if (character == ',' && !quoted)
        {
            fields.emplace_back();
        }
        else
        {
            fields.back() += character;
        }
    }
    return !quoted;
}

std::string LastError()
{
    return "Windows error " + std::to_string(GetLastError());
}
}  // namespace

LineLog::~LineLog()
{
    if (m_file != INVALID_HANDLE_VALUE)
    {
        CloseHandle(m_file);
    }
}

Outcome LineLog::Open(const std::string& path, const std::string& unitColumn)
{
    m_path = path;
    const std::vector<wchar_t> name = WindowsName(path);
    const DWORD attributes = GetFileAttributesW(name.data());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    {
        return Failure(ExitStatus::FileError, "the log " + path + " is a folder: give --log a file name");
    }
    // No write sharing: a second line on the same log is refused here.
    m_file = CreateFileW(name.data(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_file == INVALID_HANDLE_VALUE)
    {
        if (GetLastError() == ERROR_SHARING_VIOLATION)
        {
            return Failure(
                ExitStatus::FileError,
                "the log " + path +
                    " is in use: another kelvra-cli line (or another program) has it "
                    "open for writing. Run one line per log; end the other one first, or give another --log.");
        }
        return Failure(ExitStatus::FileError, "cannot open the log " + path + " (" + LastError() +
                                                  "): check that its folder exists and can be written");
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(m_file, &size) || size.QuadPart > LargestLog)
    {
        return Failure(ExitStatus::FileError, "the log " + path +
                                                  " is too large or unreadable to be a line log; "
                                                  "it was left as it is. Give another --log.");
    }
    std::string contents(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!contents.empty() && (!ReadFile(m_file, &contents[0], static_cast<DWORD>(contents.size()), &read, nullptr) ||
                              read != contents.size()))
    {
        return Failure(ExitStatus::FileError, "cannot read the log " + path + " (" + LastError() + ")");
    }
    const std::string header = HeaderFor(unitColumn);
    if (contents.empty())
    {
        const std::string line = header + "\r\n";
        DWORD written = 0;
        if (!WriteFile(m_file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) ||
            written != line.size() || !FlushFileBuffers(m_file))
        {
            return Failure(ExitStatus::FileError, "cannot write the log " + path + " (" + LastError() + ")");
        }
        return {};
    }
    return Parse(contents, header);
}

Outcome LineLog::Parse(const std::string& contents, const std::string& header)
{
    const std::string refused = "the log " + m_path + " is not a kelvra-cli line log of this kind: ";
    const std::string kept = ". It was left as it is; give another --log, or mend the file.";
    if (contents.back() != '\n')
    {
        return Failure(ExitStatus::FileError, refused +
                                                  "its last row is cut short (was the power cut while it "
                                                  "was written?). Check that unit, then end or remove the row" +
                                                  kept);
    }
    size_t lineNumber = 0;
    for (size_t begin = 0; begin < contents.size();)
    {
        const size_t end = contents.find('\n', begin);
        std::string line = contents.substr(begin, end - begin);
        begin = end + 1;
        if (!line.empty() && line.back() == '\r')
        {
            line.pop_back();
        }
        if (lineNumber++ == 0)
        {
            if (line != header)
            {
                return Failure(ExitStatus::FileError, refused + "its first line is not \"" + header + "\"" + kept);
            }
            continue;
        }
        std::vector<std::string> fields;
        const bool wellFormed = SplitCsv(line, fields) && fields.size() == 6 && !fields[0].empty() &&
                                !fields[1].empty() && (fields[3] == "PASS" || fields[3] == "FAIL");
        if (!wellFormed)
        {
            return Failure(ExitStatus::FileError, refused + "line " + std::to_string(lineNumber) +
                                                      " is not a row of six fields with the "
                                                      "result PASS or FAIL" +
                                                      kept);
        }
        m_rows.push_back({fields[0], fields[1], fields[2], fields[3], fields[4], fields[5]});
    }
    return {};
}

Outcome LineLog::Append(const LineRow& row)
{
    const std::string line = CsvField(row.time) + "," + CsvField(row.unit) + "," + CsvField(row.device) + "," +
                             CsvField(row.result) + "," + CsvField(row.firstDifference) + "," + CsvField(row.detail) +
                             "\r\n";
    LARGE_INTEGER end{};
    DWORD written = 0;
    if (!SetFilePointerEx(m_file, end, nullptr, FILE_END) ||
        !WriteFile(m_file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) || written != line.size() ||
        !FlushFileBuffers(m_file))
    {
        return Failure(ExitStatus::FileError, "cannot add a row to the log " + m_path + " (" + LastError() + ")");
    }
    m_rows.push_back(row);
    return {};
}

std::string LocalTimeIso8601()
{
    FILETIME utc{};
    FILETIME local{};
    GetSystemTimeAsFileTime(&utc);
    FileTimeToLocalFileTime(&utc, &local);
    SYSTEMTIME time{};
    FileTimeToSystemTime(&local, &time);
    const auto ticks = [](const FILETIME& fileTime)
    {
        return static_cast<long long>((static_cast<unsigned long long>(fileTime.dwHighDateTime) << 32) |
                                      fileTime.dwLowDateTime);
    };
    // 100 ns ticks to minutes, rounded away from zero at the half.
    const long long difference = ticks(local) - ticks(utc);
    const long long offsetMinutes = (difference + (difference < 0 ? -300000000LL : 300000000LL)) / 600000000LL;
    const long long magnitude = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
    char text[40];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u%c%02lld:%02lld", time.wYear, time.wMonth, time.wDay,
                  time.wHour, time.wMinute, time.wSecond, offsetMinutes < 0 ? '-' : '+', magnitude / 60,
                  magnitude % 60);
    return text;
}
