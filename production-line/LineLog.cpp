#include "LineLog.h"

#include "Digits.h"

#include "Joined.h"

namespace
{
// A log of a few hundred thousand rows is far below this.
const DWORD LargestLog = 64u * 1024 * 1024;
const char Utf8ByteOrderMark[] = "\xEF\xBB\xBF";
const char* const ColumnsAfterUnit = "device,result,first_difference,detail";

// A row of six fields; false for another count or an unclosed quote.
bool SplitRow(std::string_view line, LineRow& row)
{
    std::string* const fields[] = {&row.time, &row.unit, &row.device, &row.result, nullptr, nullptr};
    return SplitCsvRow(line, fields, 6);
}

// In the order of the families.
const char UnitColumns[][10] = {"serial", "VT-B unit", "VT-C unit"};

const char* UnitColumn(ChipFamily family)
{
    return UnitColumns[static_cast<int>(family)];
}

// A spreadsheet that saves as UTF-8 starts the file with a byte order mark.
size_t ByteOrderMarkLength(const std::string& contents)
{
    return contents.compare(0, 3, Utf8ByteOrderMark) == 0 ? 3 : 0;
}

// The first row, without its line end: all there is when it has none.
std::string_view FirstRow(const std::string& contents)
{
    const size_t bom = ByteOrderMarkLength(contents);
    std::string_view row = std::string_view(contents).substr(bom, contents.find('\n', bom) - bom);
    return !row.empty() && row.back() == '\r' ? row.substr(0, row.size() - 1) : row;
}

// A file of no rows: empty, or only the byte order mark of a spreadsheet's
// empty sheet, or a header saved without its line end (as some editors save).
bool HoldsNoRows(const std::string& contents)
{
    return contents.find('\n') == std::string::npos;
}

// What a file of no rows needs before its first row: its header, or the
// header's line end.
std::string Completion(const std::string& contents, ChipFamily family)
{
    if (!HoldsNoRows(contents))
    {
        return std::string();
    }
    if (contents.size() == ByteOrderMarkLength(contents))
    {
        return LineLogHeader(family) + "\r\n";
    }
    return contents.back() == '\r' ? "\n" : "\r\n";
}

bool IsResult(const std::string& text)
{
    return text == ReservedResult || text == PassResult || text == FailResult || text == VoidResult;
}

}  // namespace

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

std::string LineLog::Open(const wchar_t* windowsName, std::string_view shownName, ChipFamily family)
{
    m_name = std::string(shownName);
    const DWORD attributes = GetFileAttributesW(windowsName);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    {
        return Fail(" is a folder: give the name of a file");
    }
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0)
    {
        return Fail(" is read-only: clear its read-only attribute, or use another log");
    }
    // No write sharing: a second line on the same log is refused here.
    m_file = CreateFileW(windowsName, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_file == INVALID_HANDLE_VALUE)
    {
        const DWORD error = GetLastError();
        if (error == ERROR_SHARING_VIOLATION)
        {
            return Fail(" is in use: another production line or program has it open for writing. Run one line per "
                        "log; end the other one first, or use another log.");
        }
        return FailWithError(" cannot be opened; check that its folder exists and can be written");
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(m_file, &size) || size.QuadPart > LargestLog)
    {
        return Refuse("it is too large or unreadable to be a line log");
    }
    std::string contents(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!contents.empty() && (!ReadFile(m_file, &contents[0], static_cast<DWORD>(contents.size()), &read, nullptr) ||
                              read != contents.size()))
    {
        return FailWithError(" cannot be read");
    }
    const std::string refused = Parse(contents, family);
    if (!refused.empty())
    {
        return refused;
    }
    const std::string completion = Completion(contents, family);
    if (!completion.empty() && !WriteLine(completion))
    {
        return FailWithError(" cannot be written");
    }
    return std::string();
}

std::string LineLog::Fail(std::string_view what) const
{
    return Joined({"the log ", m_name, what});
}

std::string LineLog::FailWithError(std::string_view what) const
{
    return Fail(Joined({what, " (Windows error ", std::to_string(GetLastError()), ")"}));
}

std::string LineLog::Refuse(std::string_view why) const
{
    return Fail(Joined({" is refused: ", why, ". It was left as it is."}));
}

std::string LineLog::CheckHeader(std::string_view line, ChipFamily family) const
{
    // time,<unit column>,device,...: the unit column names the family.
    const std::string_view after = ColumnsAfterUnit;
    const size_t columnEnd = line.size() - after.size() - 1;
    const bool shaped = line.size() > 6 + after.size() && line.substr(0, 5) == "time," && line[columnEnd] == ',' &&
                        line.substr(columnEnd + 1) == after;
    const std::string_view column = shaped ? line.substr(5, columnEnd - 5) : std::string_view();
    const std::string_view name = TraitsOf(family).name;
    for (int index = 0; index < 3; ++index)
    {
        if (column == UnitColumns[index])
        {
            return index == static_cast<int>(family)
                       ? std::string()
                       : Refuse(Joined({"it is a log of ", TraitsOf(static_cast<ChipFamily>(index)).name,
                                        " units, and this line programs ", name, " units; use another log"}));
        }
    }
    // Before the header named the family, VT-B and VT-C logs shared this one.
    const bool older = column == "unit" && family != ChipFamily::A;
    return Refuse(older ? Joined({"it is an older log of VT-B or VT-C units that does not say which. If its units are ",
                                  name, ", change \"unit\" in its first row to \"", UnitColumn(family), "\""})
                        : Joined({"its first row is not \"", LineLogHeader(family), "\", so it is not a line log of ",
                                  name, " units"}));
}

std::string LineLog::Parse(const std::string& contents, ChipFamily family)
{
    if (contents.size() == ByteOrderMarkLength(contents))
    {
        return std::string();
    }
    // The header first, so a file of another kind is named so, not taken for a cut-short log.
    const std::string header = CheckHeader(FirstRow(contents), family);
    if (!header.empty() || HoldsNoRows(contents))
    {
        return header;
    }
    if (contents.back() != '\n')
    {
        return Refuse("its last row is cut short (was the power cut while it was written?). Check that unit, then "
                      "end or remove the row");
    }
    size_t rowNumber = 0;
    for (size_t begin = ByteOrderMarkLength(contents); begin < contents.size();)
    {
        const size_t end = contents.find('\n', begin);
        std::string_view line(contents.data() + begin, end - begin);
        begin = end + 1;
        if (!line.empty() && line.back() == '\r')
        {
            line.remove_suffix(1);
        }
        if (++rowNumber == 1)
        {
            std::string refused = CheckHeader(line, family);
            if (!refused.empty())
            {
                return refused;
            }
            continue;
        }
        m_rows.emplace_back();
        LineRow& row = m_rows.back();
        row.row = rowNumber;
        if (!SplitRow(line, row) || row.time.empty() || row.unit.empty() || !IsResult(row.result))
        {
            return Refuse(Joined({"its row ", std::to_string(rowNumber),
                                  " is not six fields with the result RESERVED, PASS, FAIL or VOID"}));
        }
    }
    return std::string();
}

bool LineLog::WriteLine(const std::string& line)
{
    LARGE_INTEGER end{};
    DWORD written = 0;
    return SetFilePointerEx(m_file, end, nullptr, FILE_END) &&
           WriteFile(m_file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
           written == line.size() && FlushFileBuffers(m_file);
}

std::string LineLog::Append(std::string_view unit, std::string_view device, std::string_view result,
                            std::string_view firstDifference, std::string_view detail)
{
    const std::string line = Joined({LocalTimeIso8601(), ",", CsvField(unit), ",", device, ",", result, ",",
                                     firstDifference, ",", CsvField(detail), "\r\n"});
    return WriteLine(line) ? std::string() : FailWithError(": no row can be added");
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
    using Digits::Decimal;
    return Joined({Decimal(time.wYear, 4), "-", Decimal(time.wMonth, 2), "-", Decimal(time.wDay, 2), "T",
                   Decimal(time.wHour, 2), ":", Decimal(time.wMinute, 2), ":", Decimal(time.wSecond, 2),
                   offsetMinutes < 0 ? "-" : "+", Decimal(magnitude / 60, 2), ":", Decimal(magnitude % 60, 2)});
}

bool SplitCsvRow(std::string_view line, std::string* const fields[], size_t count)
{
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
            if (++field == count)
            {
                return false;
            }
        }
        else if (fields[field] != nullptr)
        {
            index += character == '"';
            *fields[field] += character;
        }
        else
        {
            index += character == '"';
        }
    }
    return !quoted && field + 1 == count;
}
