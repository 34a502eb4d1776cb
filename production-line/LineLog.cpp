#include "LineLog.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "Digits.h"

#include "Joined.h"

namespace
{
// A log of a few hundred thousand rows is far below this.
const DWORD LargestLog = 64u * 1024 * 1024;
const char Utf8ByteOrderMark[] = "\xEF\xBB\xBF";
const char* const ColumnsAfterUnit = "device,result,first_difference,detail";

// The end of the row that starts at begin: its newline outside quotes, or npos.
size_t RowEnd(const std::string& contents, size_t begin)
{
    bool quoted = false;
    for (size_t index = begin; index < contents.size(); ++index)
    {
        if (contents[index] == '"')
        {
            quoted = !quoted;
        }
        else if (contents[index] == '\n' && !quoted)
        {
            return index;
        }
    }
    return std::string::npos;
}

// A row of six fields; false for another count or an unclosed quote.
bool SplitRow(std::string_view line, LineRow& row)
{
    std::string* const fields[] = {&row.time, &row.unit, &row.device, &row.result, &row.firstDifference, &row.detail};
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

// Every byte, or false with the Windows error. A write that moves fewer bytes
// is how a disk that fills up shows under Wine; the next one names the error.
bool WriteAll(LogFileWrite write, HANDLE file, const std::string& text, DWORD& error)
{
    for (size_t done = 0; done < text.size();)
    {
        DWORD written = 0;
        if (!write(file, text.data() + done, static_cast<DWORD>(text.size() - done), &written))
        {
            error = GetLastError();
            return false;
        }
        if (written == 0)
        {
            error = ERROR_DISK_FULL;
            return false;
        }
        done += written;
    }
    return true;
}

bool ReadAll(HANDLE file, std::string& contents)
{
    LARGE_INTEGER size{};
    const LARGE_INTEGER start{};
    if (!GetFileSizeEx(file, &size) || size.QuadPart > LargestLog ||
        !SetFilePointerEx(file, start, nullptr, FILE_BEGIN))
    {
        return false;
    }
    contents.assign(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    return contents.empty() || (ReadFile(file, &contents[0], static_cast<DWORD>(contents.size()), &read, nullptr) &&
                                read == contents.size());
}

// A character a command line takes as it is, in a path.
bool IsPlain(char character)
{
    return std::isalnum(static_cast<unsigned char>(character)) ||
           (character != '\0' && std::strchr("_.:\\/-", character) != nullptr);
}

// A name as a command line takes it: quoted unless every character is plain.
std::string Argument(std::string_view name)
{
    const bool plain = !name.empty() && std::all_of(name.begin(), name.end(), IsPlain);
    return plain ? std::string(name) : Joined({"\"", name, "\""});
}

}  // namespace

// Quoted where CSV needs it, every character kept, so a spreadsheet and the
// next start read back what was written.
std::string CsvField(std::string_view text)
{
    if (text.find_first_of(",\"\r\n") == std::string_view::npos)
    {
        return std::string(text);
    }
    std::string quoted = "\"";
    for (char character : text)
    {
        quoted += character;
        if (character == '"')
        {
            quoted += '"';
        }
    }
    return quoted + "\"";
}

BOOL WriteToFile(HANDLE file, const void* data, DWORD size, DWORD* written)
{
    return WriteFile(file, data, size, written, nullptr);
}

std::string WindowsErrorText(DWORD error)
{
    const char* words = nullptr;
    switch (error)
    {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        words = "the disk is full";
        break;
    case ERROR_ACCESS_DENIED:
        words = "access is denied";
        break;
    case ERROR_WRITE_PROTECT:
        words = "the disk is write-protected";
        break;
    case ERROR_NOT_READY:
    case ERROR_DEVICE_NOT_CONNECTED:
        words = "the drive is gone or not ready";
        break;
    case ERROR_NETNAME_DELETED:
    case ERROR_UNEXP_NET_ERR:
        words = "the network connection was lost";
        break;
    default:
        break;
    }
    const std::string number = Joined({"Windows error ", std::to_string(error)});
    return words == nullptr ? number : Joined({words, " (", number, ")"});
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

std::string LineLog::Open(const wchar_t* windowsName, std::string_view shownName, ChipFamily family,
                          CutShortRow cutShort)
{
    m_name = std::string(shownName);
    m_family = family;
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
        return FailWithError(" cannot be opened; check that its folder exists and can be written", error);
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(m_file, &size) || size.QuadPart > LargestLog)
    {
        return Refuse("it is too large or unreadable to be a line log");
    }
    std::string contents;
    if (!ReadAll(m_file, contents))
    {
        return FailWithError(" cannot be read", GetLastError());
    }
    const std::string refused = Parse(contents, family, cutShort);
    if (!refused.empty())
    {
        return refused;
    }
    // A mend changes nothing but a row cut short.
    const std::string completion = cutShort == CutShortRow::Refuse ? Completion(contents, family) : std::string();
    const std::string problem = completion.empty() ? completion : WriteWhole(completion);
    return problem.empty() ? problem : Fail(Joined({" cannot be written: ", problem}));
}

std::string LineLog::Fail(std::string_view what) const
{
    return Joined({"the log ", m_name, what});
}

std::string LineLog::FailWithError(std::string_view what, DWORD error) const
{
    return Fail(Joined({what, " (", WindowsErrorText(error), ")"}));
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

std::string LineLog::Parse(const std::string& contents, ChipFamily family, CutShortRow cutShort)
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
    size_t begin = ByteOrderMarkLength(contents);
    for (size_t rowNumber = 1; begin < contents.size(); ++rowNumber)
    {
        const size_t end = RowEnd(contents, begin);
        if (end == std::string::npos)
        {
            break;
        }
        std::string_view line(contents.data() + begin, end - begin);
        const bool crlf = !line.empty() && line.back() == '\r';
        m_lineEnd = crlf ? "\r\n" : "\n";
        line.remove_suffix(crlf ? 1 : 0);
        begin = end + 1;
        const std::string refused = rowNumber == 1 ? std::string() : ReadRow(line, rowNumber);
        if (!refused.empty())
        {
            return refused;
        }
    }
    m_wholeRowsEnd = static_cast<LONGLONG>(begin);
    if (begin >= contents.size())
    {
        return std::string();
    }
    if (cutShort == CutShortRow::Refuse)
    {
        return Refuse(
            Joined({"its last row is cut short (was the power cut while it was written?). Run \"", MendCommand(),
                    "\": it sets that row aside in a copy of the log and makes void each reservation left "
                    "without a result"}));
    }
    m_cutShort = contents.substr(begin);
    return std::string();
}

std::string LineLog::ReadRow(std::string_view line, size_t rowNumber)
{
    m_rows.emplace_back();
    LineRow& row = m_rows.back();
    row.row = rowNumber;
    if (!SplitRow(line, row) || row.time.empty() || row.unit.empty() || !IsResult(row.result))
    {
        return Refuse(Joined({"its row ", std::to_string(rowNumber),
                              " is not six fields with the result RESERVED, PASS, FAIL or VOID"}));
    }
    return std::string();
}

std::string LineLog::MendCommand() const
{
    const char letter[] = {static_cast<char>('A' + static_cast<int>(m_family)), '\0'};
    return Joined({"kelvra-cli mend-log ", Argument(m_name), " --family ", letter});
}

std::string LineLog::SetAsideCutShortRow(HANDLE copy)
{
    std::string contents;
    DWORD error = 0;
    if (!ReadAll(m_file, contents))
    {
        return FailWithError(" cannot be read", GetLastError());
    }
    if (!WriteAll(WriteToFile, copy, contents, error) || !FlushFileBuffers(copy))
    {
        return Fail(Joined({": its copy cannot be written: ", WindowsErrorText(error != 0 ? error : GetLastError()),
                            ". The log was left as it is."}));
    }
    LARGE_INTEGER end{};
    end.QuadPart = m_wholeRowsEnd;
    if (!SetFilePointerEx(m_file, end, nullptr, FILE_BEGIN) || !SetEndOfFile(m_file) || !FlushFileBuffers(m_file))
    {
        return FailWithError(": its row cut short cannot be cut off", GetLastError());
    }
    m_cutShort.clear();
    return std::string();
}

std::string LineLog::WriteWhole(const std::string& text)
{
    LARGE_INTEGER end{};
    const LARGE_INTEGER zero{};
    if (!SetFilePointerEx(m_file, zero, &end, FILE_END))
    {
        return WindowsErrorText(GetLastError());
    }
    DWORD error = 0;
    if (WriteAll(m_write, m_file, text, error) && FlushFileBuffers(m_file))
    {
        return std::string();
    }
    const std::string why = WindowsErrorText(error != 0 ? error : GetLastError());
    // What was written of it goes, so the log holds only whole rows.
    if (SetFilePointerEx(m_file, end, nullptr, FILE_BEGIN) && SetEndOfFile(m_file) && FlushFileBuffers(m_file))
    {
        return Joined({why, "; the log was left as it was"});
    }
    return Joined({why, ", and part of a row may be left at its end: run \"", MendCommand(), "\""});
}

std::string LineLog::Append(const std::vector<NewLineRow>& rows)
{
    std::string text;
    const std::string time = LocalTimeIso8601();
    for (const NewLineRow& row : rows)
    {
        text += Joined({CsvField(time), ",", CsvField(row.unit), ",", CsvField(row.device), ",", CsvField(row.result),
                        ",", CsvField(row.firstDifference), ",", CsvField(row.detail), m_lineEnd});
    }
    const std::string problem = WriteWhole(text);
    return problem.empty() ? problem : Fail(Joined({": no row can be added: ", problem}));
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
