// The line's log on real files: what is written is read back field for field,
// in the file's own line ends, and an append that fails leaves the file as it
// was. A disk filling up is made at the file-write boundary, as Wine shows it:
// a write that moves part of the row, then one that fails.
#include <gtest/gtest.h>

#include <algorithm>

#include "LineLedger.h"
#include "LineLog.h"
#include "TemporaryFolder.h"

namespace
{
const char* const Header = "time,serial,device,result,first_difference,detail";

std::wstring Wide(const std::string& path)
{
    return std::wstring(path.begin(), path.end());
}

// Room left on the disk the log is on, in bytes, and the writes asked for.
DWORD roomLeft = 0;
int writeCalls = 0;

BOOL WriteToFillingDisk(HANDLE file, const void* data, DWORD size, DWORD* written)
{
    ++writeCalls;
    if (roomLeft == 0)
    {
        *written = 0;
        SetLastError(ERROR_DISK_FULL);
        return FALSE;
    }
    const DWORD part = std::min(size, roomLeft);
    roomLeft -= part;
    return WriteFile(file, data, part, written, nullptr);
}

class LineLogTest : public testing::Test
{
protected:
    void SetUp() override
    {
        roomLeft = 1u << 30;
        writeCalls = 0;
    }

    std::string Open(LineLog& log) const
    {
        return log.Open(Wide(folder.PathOf("line.csv")).c_str(), "line.csv", ChipFamily::A);
    }

    TemporaryFolder folder;
};

TEST_F(LineLogTest, EveryFieldWrittenIsReadBackAsItWas)
{
    const std::vector<NewLineRow> written = {
        {"KV-000100", "VID_845e&PID_0001, bench 2", ReservedResult, "", ""},
        {"say \"hi\"", "\"", PassResult, ",", "\"\""},
        {" KV-1 ", "VID_845e&PID_0001", FailResult, "0x000a", "one\r\ntwo\nthree\rfour"},
        {"Ω-1", "a,b,\"c\"", VoidResult, "\r\n", "ends with a quote\""},
    };
    {
        LineLog log;
        ASSERT_EQ(Open(log), "");
        ASSERT_EQ(log.Append(written), "");
    }
    LineLog reopened;
    ASSERT_EQ(Open(reopened), "");
    const std::vector<LineRow>& rows = reopened.Rows();
    ASSERT_EQ(rows.size(), written.size());
    for (size_t index = 0; index < rows.size(); ++index)
    {
        SCOPED_TRACE(index);
        const NewLineRow& sent = written[index];
        EXPECT_EQ(rows[index].time.size(), 25u) << rows[index].time;
        EXPECT_EQ(rows[index].unit, sent.unit);
        EXPECT_EQ(rows[index].device, sent.device);
        EXPECT_EQ(rows[index].result, sent.result);
        EXPECT_EQ(rows[index].firstDifference, sent.firstDifference);
        EXPECT_EQ(rows[index].detail, sent.detail);
        EXPECT_EQ(rows[index].row, index + 2);
    }
}

TEST_F(LineLogTest, ARowAddedKeepsTheLineEndsOfTheLog)
{
    struct Case
    {
        const char* name;
        std::string log;
        const char* lineEnd;
    };
    const std::string row = "2026-12-07T10:30:12+01:00,KV-000100,VID_845e&PID_0001,PASS,,";
    const Case cases[] = {
        {"new", "", "\r\n"},
        {"CRLF", Header + std::string("\r\n") + row + "\r\n", "\r\n"},
        {"LF", Header + std::string("\n") + row + "\n", "\n"},
        {"LF, with a line break in a quoted field", Header + std::string("\n2026,KV-1,\"a\r\nb\",PASS,,\n"), "\n"},
    };
    for (const Case& test : cases)
    {
        SCOPED_TRACE(test.name);
        folder.WriteFile("line.csv", test.log);
        {
            LineLog log;
            ASSERT_EQ(Open(log), "");
            ASSERT_EQ(log.Append({{"KV-000101", "VID_845e&PID_0001", ReservedResult, "", ""},
                                  {"KV-000101", "VID_845e&PID_0001", PassResult, "", "two\nlines"}}),
                      "");
        }
        const std::string contents = folder.ReadFile("line.csv");
        const std::string before = test.log.empty() ? Header + std::string("\r\n") : test.log;
        ASSERT_EQ(contents.compare(0, before.size(), before), 0) << contents;
        const std::string added = contents.substr(before.size());
        const std::string time = added.substr(0, 25);
        EXPECT_EQ(added, time + ",KV-000101,VID_845e&PID_0001,RESERVED,," + test.lineEnd + time +
                             ",KV-000101,VID_845e&PID_0001,PASS,,\"two\nlines\"" + test.lineEnd);
    }
}

TEST_F(LineLogTest, AFailedAppendLeavesTheLogAsItWasAndSaysTheDiskIsFull)
{
    const std::string before = Header + std::string("\r\n2026-12-08T07:10:55+00:00,KV-000100,VID_845e&PID_0001,"
                                                    "RESERVED,,\r\n");
    // Full before the row, after a few of its 62 bytes, and a byte before its end.
    const DWORD rooms[] = {0, 30, 61};
    for (DWORD room : rooms)
    {
        SCOPED_TRACE(room);
        folder.WriteFile("line.csv", before);
        {
            LineLog log(WriteToFillingDisk);
            ASSERT_EQ(Open(log), "");
            roomLeft = room;
            const std::string problem = log.Append({{"KV-000100", "VID_845e&PID_0001", PassResult, "", ""}});
            EXPECT_NE(problem.find("no row can be added: the disk is full (Windows error 112)"), std::string::npos)
                << problem;
            EXPECT_EQ(folder.ReadFile("line.csv"), before);
            roomLeft = 1u << 30;
            EXPECT_EQ(log.Append({{"KV-000100", "VID_845e&PID_0001", PassResult, "", ""}}), "") << "room again";
        }
        LineLog reopened;
        ASSERT_EQ(Open(reopened), "") << "the next start takes the log";
        EXPECT_EQ(reopened.Rows().back().result, PassResult);
    }
}

TEST_F(LineLogTest, AWriteToARealFullDeviceNamesTheError)
{
    // Linux's device that is always full, as Wine shows it: Windows' own error comes back.
    LineLog log;
    const std::string problem = log.Open(L"Z:\\dev\\full", "full", ChipFamily::A);
    EXPECT_NE(problem.find("the disk is full (Windows error 112)"), std::string::npos) << problem;
}

TEST_F(LineLogTest, EveryReservationLeftWithoutAResultIsMadeVoidInOneAppend)
{
    const auto row = [](const char* unit, const char* result)
    {
        return std::string("2026-12-08T07:10:55+00:00,") + unit + ",VID_845e&PID_0001," + result + ",,\r\n";
    };
    folder.WriteFile("line.csv", Header + std::string("\r\n") + row("KV-1", ReservedResult) +
                                     row("KV-2", ReservedResult) + row("KV-2", PassResult) +
                                     row("KV-3", ReservedResult) + row("KV-1", ReservedResult) +
                                     row("KV-4", ReservedResult));
    std::vector<LineRow> voided;
    {
        LineLog log(WriteToFillingDisk);
        ASSERT_EQ(Open(log), "");
        const UnitNaming naming(ChipFamily::A, std::nullopt);
        LineLedger ledger(naming, false);
        ASSERT_EQ(ledger.Account(log.Rows()), "");
        ASSERT_EQ(ledger.VoidUnresolved(log, "interrupted", voided), "");
        EXPECT_EQ(writeCalls, 1);
        EXPECT_STREQ(ledger.Refusal("KV-1"), "is void in this log");
    }
    std::vector<std::string> named;
    for (const LineRow& reserved : voided)
    {
        named.push_back(reserved.unit + " row " + std::to_string(reserved.row));
    }
    EXPECT_EQ(named, (std::vector<std::string>{"KV-3 row 5", "KV-1 row 6", "KV-4 row 7"}));
    LineLog reopened;
    ASSERT_EQ(Open(reopened), "");
    std::vector<std::string> added;
    for (size_t index = 6; index < reopened.Rows().size(); ++index)
    {
        added.push_back(reopened.Rows()[index].unit + " " + reopened.Rows()[index].result);
    }
    EXPECT_EQ(added, (std::vector<std::string>{"KV-3 VOID", "KV-1 VOID", "KV-4 VOID"}));
}
}  // namespace
