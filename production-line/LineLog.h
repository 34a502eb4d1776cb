// The production line's record: a CSV file with a header row, then one row
// per event, each on disk before the line goes on. A serial is reserved by a
// row before it is written, and its result follows in a row of its own. One
// line at a time has the file open; a file in another format or of another
// chip family is refused and left as it is.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "DriverLibrary.h"

// A row's result: RESERVED before the first write to a unit, then PASS or
// FAIL; VOID for a reservation whose result was never written.
inline constexpr char ReservedResult[] = "RESERVED";
inline constexpr char PassResult[] = "PASS";
inline constexpr char FailResult[] = "FAIL";
inline constexpr char VoidResult[] = "VOID";

// A row as read back, every field as the file holds it.
struct LineRow
{
    std::string time;    // local time, ISO 8601 with the offset from UTC
    std::string unit;    // VT-A: the serial; VT-B, VT-C: the running unit number
    std::string device;  // VID_xxxx&PID_xxxx
    std::string result;  // one of the results above
    std::string firstDifference;
    std::string detail;
    size_t row = 0;  // its row in the file as a spreadsheet counts them, the header being 1
};

// A row to add; its time is the time it is added.
struct NewLineRow
{
    std::string_view unit;
    std::string_view device;
    std::string_view result;
    std::string_view firstDifference;
    std::string_view detail;
};

// Writes at the file's position as WriteFile does: where a full disk shows.
using LogFileWrite = BOOL (*)(HANDLE file, const void* data, DWORD size, DWORD* written);
BOOL WriteToFile(HANDLE file, const void* data, DWORD size, DWORD* written);

// What Open does with a last row cut short, e.g. by a power cut.
enum class CutShortRow
{
    Refuse,
    // For a mend: kept apart for SetAsideCutShortRow, and a log without rows
    // is not given its header or line end.
    Keep,
};

class LineLog
{
public:
    explicit LineLog(LogFileWrite write = WriteToFile) : m_write(write) {}
    ~LineLog();
    LineLog(const LineLog&) = delete;
    LineLog& operator=(const LineLog&) = delete;

    // Opens the file by windowsName for this process alone (others may read
    // it); shownName is the name the messages give. An empty or new file gets
    // family's header row; a file with rows must start with it, after a UTF-8
    // byte order mark if a spreadsheet wrote one. Empty when opened, else
    // what is wrong and what to do.
    std::string Open(const wchar_t* windowsName, std::string_view shownName, ChipFamily family,
                     CutShortRow cutShort = CutShortRow::Refuse);
    // The whole rows as the file was opened.
    const std::vector<LineRow>& Rows() const { return m_rows; }
    // The last row cut short that Open kept apart; empty when there was none.
    const std::string& CutShort() const { return m_cutShort; }
    // Saves the file as it is into copy, a new file, then cuts the row cut
    // short off the log: empty, or what went wrong.
    std::string SetAsideCutShortRow(HANDLE copy);
    // Appends rows of now with these fields, in the log's own line ends, and
    // returns once they are flushed to disk: empty, or what went wrong, the
    // log then as it was.
    std::string Append(const std::vector<NewLineRow>& rows);

private:
    std::string Fail(std::string_view what) const;
    // With the Windows error in words.
    std::string FailWithError(std::string_view what, DWORD error) const;
    std::string Refuse(std::string_view why) const;
    std::string CheckHeader(std::string_view line, ChipFamily family) const;
    std::string ReadRow(std::string_view line, size_t rowNumber);
    std::string Parse(const std::string& contents, ChipFamily family, CutShortRow cutShort);
    // The command that mends a last row cut short.
    std::string MendCommand() const;
    // Every byte of text at the end, or the file cut back to its length
    // before: empty, or the error in words.
    std::string WriteWhole(const std::string& text);

    LogFileWrite m_write;
    HANDLE m_file = INVALID_HANDLE_VALUE;
    std::string m_name;
    ChipFamily m_family = ChipFamily::A;
    std::vector<LineRow> m_rows;
    // What the file's rows end with: a new row keeps to it.
    const char* m_lineEnd = "\r\n";
    std::string m_cutShort;
    LONGLONG m_wholeRowsEnd = 0;
};

// The first row of a log of family: VT-A's names its serials, VT-B's and
// VT-C's their unit numbers with the family, so one is never taken for the other.
std::string LineLogHeader(ChipFamily family);

// text as a field of a log's row, quoted where it must be.
std::string CsvField(std::string_view text);

// Now, as 2026-12-07T10:30:12+01:00.
std::string LocalTimeIso8601();

// A Windows error as the messages name it, e.g. "the disk is full (Windows error 112)".
std::string WindowsErrorText(DWORD error);

// The count fields of a row as a log holds them, quoted where they must be,
// each appended to its string (a null one is read past); false for another
// number of fields or a quote left open.
bool SplitCsvRow(std::string_view line, std::string* const fields[], size_t count);
