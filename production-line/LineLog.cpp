#include "LineLog.h"

#include <cstdio>

#include "Joined.h"

namespace
{
// A log of a few hundred thousand rows is far below this.
const DWORD LargestLog = 64u * 1024 * 1024;
const char Utf8ByteOrderMark[] = "\xEF\xBB\xBF";
const char* const ColumnsAfterUnit = "device,result,first_difference,detail";

std::string CsvField(std::string_view text)
{
    if (text.find_first_of(",\"\r\n") == std::string_view::npos)
    {
        return std::string(text);
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

// A row of six fields; false for another count or an unclosed quote.
bool SplitRow(const std::string& line, LineRow& row)
{
    std::string* const fields[] = {&row.time, &row.unit, &row.device, &row.result, &row.firstDifference, &row.detail};
    size_t field = 0;
    bool quoted = false;
    for (size_t index = 0; index < line.size(); ++index)
    {
        const char character = line[index];
        if (character == '"' && !(quoted && index + 1 < line.size() && line[index + 1] == '"'))
        {
            quoted = !quoted;
        }
        else if (character == ',' && !quoted)
        {
            if (++field == 6)
            {
                return false;
            }
        }
        else
        {
            index += character == '"';
            *fields[field] += character;
        }
    }
    return !quoted && field == 5;
}

std::string UnitColumn(ChipFamily family)
{
    return family == ChipFamily::A ? "serial" : Joined({TraitsOf(family).name, " unit"});
}

bool IsResult(const std::string& text)
{
    return text == ReservedResult || text == PassResult || text == FailResult || text == VoidResult;
}

std::string LastError()
{
    return Joined({" (Windows error ", std::to_string(GetLastError()), ")"});
}
}  // namespace

std::string LineLogHeader(ChipFamily family)
{
    return Joined({"time,", UnitColumn(family), ",", ColumnsAfterUnit});
}

LineLog::~LineLog()
{
    if (m_file != INVALID_HANDLE_VALUE)
    {
        CloseHandle(m_file);
    }
}

bool LineLog::Open(const wchar_t* windowsName, const std::string& shownName, ChipFamily family, std::string& problem)
{
    m_name = shownName;
    const DWORD attributes = GetFileAttributesW(windowsName);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    {
        return Fail(" is a folder: give the name of a file", problem);
    }
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0)
    {
        return Fail(" is read-only, so no row can be added: clear its read-only attribute, or use another log",
                    problem);
    }
    // No write sharing: a second line on the same log is refused here.
    m_file = CreateFileW(windowsName, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_file == INVALID_HANDLE_VALUE)
    {
        const DWORD error = GetLastError();
        if (error == ERROR_SHARING_VIOLATION)
        {
            return Fail(" is in use: another production line (or another program) has it open for writing. Run "
                        "one line per log; end the other one first, or use another log.",
                        problem);
        }
        if (error == ERROR_ACCESS_DENIED)
        {
            return Fail(" cannot be written: access is denied. Check its permissions and its folder's, or use "
                        "another log.",
                        problem);
        }
        return Fail(Joined({" cannot be opened", LastError(), ": check that its folder exists and can be written"}),
                    problem);
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(m_file, &size) || size.QuadPart > LargestLog)
    {
        return Refuse("it is too large or unreadable to be a line log", problem);
    }
    std::string contents(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!contents.empty() && (!ReadFile(m_file, &contents[0], static_cast<DWORD>(contents.size()), &read, nullptr) ||
                              read != contents.size()))
    {
        return Fail(Joined({" cannot be read", LastError()}), problem);
    }
    if (contents.empty())
    {
        return WriteLine(LineLogHeader(family) + "\r\n") || Fail(Joined({" cannot be written", LastError()}), problem);
    }
    return Parse(contents, family, problem);
}

bool LineLog::Fail(std::string_view what, std::string& problem) const
{
    problem = Joined({"the log ", m_name, what});
    return false;
}

bool LineLog::Refuse(std::string_view why, std::string& problem) const
{
    return Fail(Joined({" is refused: ", why, ". It was left as it is."}), problem);
}

bool LineLog::CheckHeader(const std::string& line, ChipFamily family, std::string& problem) const
{
    const std::string_view name = TraitsOf(family).name;
    if (line == LineLogHeader(family))
    {
        return true;
    }
    for (ChipFamily other : {ChipFamily::A, ChipFamily::B, ChipFamily::C})
    {
        if (line == LineLogHeader(other))
        {
            return Refuse(Joined({"it is a log of ", TraitsOf(other).name, " units, and this line programs ", name,
                                  " units; use another log"}),
                          problem);
        }
    }
    // Before the header named the family, VT-B and VT-C logs shared this one.
    if (family != ChipFamily::A && line == Joined({"time,unit,", ColumnsAfterUnit}))
    {
        return Refuse(Joined({"an older kelvra-cli wrote it for VT-B or VT-C units, and it does not say which. If its "
                              "units are ",
                              name, " units, change \"unit\" in its first row to \"", UnitColumn(family),
                              "\", then start again"}),
                      problem);
    }
    return Refuse(
        Joined({"its first row is not \"", LineLogHeader(family), "\", so it is not a line log of ", name, " units"}),
        problem);
}

bool LineLog::Parse(const std::string& contents, ChipFamily family, std::string& problem)
{
    if (contents.back() != '\n')
    {
        return Refuse("its last row is cut short (was the power cut while it was written?). Check that unit, then "
                      "end or remove the row",
                      problem);
    }
    // A spreadsheet that saves as UTF-8 starts the file with a byte order mark.
    const size_t bom = contents.compare(0, 3, Utf8ByteOrderMark) == 0 ? 3 : 0;
    size_t rowNumber = 0;
    for (size_t begin = bom; begin < contents.size();)
    {
        const size_t end = contents.find('\n', begin);
        std::string line = contents.substr(begin, end - begin);
        begin = end + 1;
        if (!line.empty() && line.back() == '\r')
        {
            line.pop_back();
        }
        if (++rowNumber == 1)
        {
            if (!CheckHeader(line, family, problem))
            {
                return false;
            }
            continue;
        }
        m_rows.emplace_back();
        LineRow& row = m_rows.back();
        row.row = rowNumber;
        if (!SplitRow(line, row) || row.time.empty() || row.unit.empty() || !IsResult(row.result))
        {
            return Refuse(Joined({"its row ", std::to_string(rowNumber),
                                  " is not six fields with the result RESERVED, PASS, FAIL or VOID"}),
                          problem);
        }
    }
    return true;
}

bool LineLog::WriteLine(const std::string& line)
{
    LARGE_INTEGER end{};
    DWORD written = 0;
    return SetFilePointerEx(m_file, end, nullptr, FILE_END) &&
           WriteFile(m_file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
           written == line.size() && FlushFileBuffers(m_file);
}

bool LineLog::Append(std::string_view unit, std::string_view device, std::string_view result,
                     std::string_view firstDifference, std::string_view detail, std::string& problem)
{
    const std::string line = Joined({LocalTimeIso8601(), ",", CsvField(unit), ",", CsvField(device), ",", result, ",",
                                     firstDifference, ",", CsvField(detail), "\r\n"});
    return WriteLine(line) || Fail(Joined({": no row can be added", LastError()}), problem);
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

bool SplitCsvRow(std::string_view line, std::vector<std::string>& fields)
{
    fields.assign(1, std::string());
    bool quoted = false;
    for (size_t index = 0; index < line.size(); ++index)
    {
        const char character = line[index];
        if (character == '"' && !(quoted && index + 1 < line.size() && line[index + 1] == '"'))
        {
            quoted = !quoted;
        }
        else if (character == ',' && !quoted)
        {
            fields.emplace_back();
        }
        else
        {
            index += character == '"';
            fields.back() += character;
        }
    }
    return !quoted;
}
