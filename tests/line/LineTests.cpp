// The production line run in process: units scripted through the device
// platform, written and verified by the emulated VT_HIDA.dll and VT_HIDB.dll
// on Wine's device 845e/0001, the log and the chip read back after each unit.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <thread>

#include "CliCommands.h"
#include "EmulatedDriverFolders.h"
#include "Family0Image.h"
#include "Interrupt.h"
#include "Files.h"
#include "LineLog.h"
#include "ScriptedUnits.h"
#include "WorkingFolder.h"

namespace
{
// The output kept, and standard input as a person or a scanner gives it:
// lines given now or later, until it is closed.
class RecordingConsole final : public Console
{
public:
    ~RecordingConsole() override { Reset(); }

    void Out(const std::string& text) override { out += text; }
    void Err(const std::string& text) override { err += text; }
    bool ErrIsConsole() const override { return false; }
    bool InLine(std::string& line) override
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        ++m_reading;
        if (m_lines.empty() && !m_closed && whenInputWaits)
        {
            lock.unlock();
            whenInputWaits();
            lock.lock();
        }
        // Bounded: a program that never reads again must not hold the test.
        m_changed.wait_for(lock, std::chrono::seconds(10), [this] { return !m_lines.empty() || m_closed; });
        const bool any = !m_lines.empty();
        if (any)
        {
            line = m_lines.front();
            m_lines.pop_front();
        }
        --m_reading;
        m_changed.notify_all();
        return any;
    }

    // Each line of text, ended by '\n'.
    void Give(const std::string& text)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (size_t start = 0; start < text.size();)
        {
            const size_t end = std::min(text.find('\n', start), text.size());
            m_lines.push_back(text.substr(start, end - start));
            start = end + 1;
        }
        m_changed.notify_all();
    }

    void Close()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_closed = true;
        m_changed.notify_all();
    }

    // Closes the input and waits for a read still under way, as a new run starts.
    void Reset()
    {
        Close();
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait_for(lock, std::chrono::seconds(10), [this] { return m_reading == 0; });
        m_lines.clear();
        m_closed = false;
        out.clear();
        err.clear();
    }

    std::string out;
    std::string err;
    // Called when a read finds no line and the input open: a person who has not typed yet.
    std::function<void()> whenInputWaits;

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::string> m_lines;
    bool m_closed = false;
    int m_reading = 0;
};

// A file's bytes; empty when it cannot be read.
std::string Contents(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream contents;
    contents << file.rdbuf();
    return contents.str();
}

const char* const SerialHeader = "time,serial,device,result,first_difference,detail\r\n";

std::string Row(const char* serial, const char* result)
{
    return std::string("2026-12-07T10:30:12+01:00,") + serial + ",VID_845e&PID_0001," + result + ",,\r\n";
}

std::string IdentityImage()
{
    Family0Image::Image image{};
    image[0] = 0x07;
    image[1] = 0x67;
    Family0Image::ReplaceStringField(image.data(), Family0Image::SerialNumberField, "SAMPLE");
    return std::string(image.begin(), image.end());
}

class LineTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ClearInterrupt();
        stateFolder = folder.PathOf("chips");
        CreateDirectoryA(stateFolder.c_str(), nullptr);
        SetEnvironmentVariableA("KELVRA_EMULATOR_DIR", stateFolder.c_str());
        SetDllDirectoryA(EmulatedDriversFolder.c_str());
        folder.WriteFile("base.hex", IdentityImage());
    }

    void TearDown() override
    {
        SetDllDirectoryA(nullptr);
        SetEnvironmentVariableA("KELVRA_EMULATOR_DIR", nullptr);
        ClearInterrupt();
    }

    // input: the whole standard input, or with inputOpen its first lines.
    int Line(ScriptedUnits& units, std::vector<std::string> options, const std::string& input = "",
             bool inputOpen = false)
    {
        console.Reset();
        console.Give(input);
        if (!inputOpen)
        {
            console.Close();
        }
        // The operator presses Ctrl+C once the scripted units are done.
        units.afterLast = []
        {
            RequestInterrupt();
        };
        std::vector<std::string> arguments = {"line",  folder.PathOf("base.hex"), "--device", "845e:0001",
                                              "--log", folder.PathOf("line.csv")};
        arguments.insert(arguments.end(), options.begin(), options.end());
        return RunKelvraCli(arguments, console, units);
    }

    std::string ChipSerial(const char* library = "VT_HIDA") const
    {
        const std::string name = "chips\\" + std::string(library) + "-845E0001.bin";
        if (GetFileAttributesA(folder.PathOf(name).c_str()) == INVALID_FILE_ATTRIBUTES)
        {
            return "<no chip>";
        }
        const std::string chip = folder.ReadFile(name);
        if (chip.size() < Family0Image::ImageSize)
        {
            return "<no chip>";
        }
        return Family0Image::FieldCharacters(reinterpret_cast<const std::uint8_t*>(chip.data()),
                                             Family0Image::SerialNumberField);
    }

    void SetEmulator(const char* key, const char* value) const
    {
        WritePrivateProfileStringA("VT_HIDA", key, value, (stateFolder + "\\emulator.ini").c_str());
    }

    // Runs then on a thread of its own once the library is first called with call.
    std::thread WhenCalled(const char* call, std::function<void()> then) const
    {
        return std::thread(
            [this, call, then]
            {
                const DWORD start = GetTickCount();
                while (Contents(stateFolder + "\\calls.log").find(call) == std::string::npos &&
                       GetTickCount() - start < 10000)
                {
                    Sleep(1);
                }
                then();
            });
    }

    std::thread WhenWriting(std::function<void()> then) const { return WhenCalled(" WriteEEPROM ", then); }

    bool Written() const { return Contents(stateFolder + "\\calls.log").find(" WriteEEPROM ") != std::string::npos; }

    // Each row as unit, device, result, first difference.
    std::vector<std::string> LogRows() const
    {
        std::vector<std::string> rows;
        std::istringstream lines(folder.ReadFile("line.csv"));
        std::string line;
        while (std::getline(lines, line))
        {
            std::istringstream fields(line);
            std::string field;
            std::string row;
            for (int index = 0; index < 5 && std::getline(fields, field, ','); ++index)
            {
                row += index == 0 ? "" : (index == 1 ? "" : ",") + field;
            }
            rows.push_back(row);
        }
        return rows;
    }

    WorkingFolder folder;
    std::string stateFolder;
    RecordingConsole console;
};

using Rows = std::vector<std::string>;

TEST_F(LineTest, NumbersUnitsRetriesAFailedVerifyAndResumesAfterTheLastPass)
{
    ScriptedUnits units(4);
    std::vector<std::string> serialsAtRemoval;
    // The second unit reads back one byte of its serial wrong; the third passes.
    units.beforeArrival = [&](int unit)
    {
        SetEmulator("CorruptReadOffset", unit == 1 ? "10" : nullptr);
    };
    units.afterRemoval = [&](int)
    {
        serialsAtRemoval.push_back(ChipSerial());
    };
    ASSERT_EQ(Line(units, {"--family", "A", "--start", "KV-000100", "--count", "3"}), 0) << console.err;
    EXPECT_EQ(console.out, "PASS  KV-000100  VID_845e&PID_0001\n"
                           "FAIL  KV-000101  VID_845e&PID_0001  verify differs at 0x000a\n"
                           "PASS  KV-000101  VID_845e&PID_0001\n"
                           "PASS  KV-000102  VID_845e&PID_0001\n"
                           "line: 3 passed, 1 failed; serials passed: KV-000100 to KV-000102\n"
                           "line: failed attempts: KV-000101\n");
    EXPECT_NE(console.err.find("line: a new log: the series starts at KV-000100\n"), std::string::npos) << console.err;
    EXPECT_EQ(serialsAtRemoval, (Rows{"KV-000100", "KV-000101", "KV-000101"}));
    EXPECT_EQ(ChipSerial(), "KV-000102") << "the last unit is not waited for";
    const Rows firstRun = {"serial,device,result,first_difference",   "KV-000100,VID_845e&PID_0001,RESERVED,",
                           "KV-000100,VID_845e&PID_0001,PASS,",       "KV-000101,VID_845e&PID_0001,RESERVED,",
                           "KV-000101,VID_845e&PID_0001,FAIL,0x000a", "KV-000101,VID_845e&PID_0001,RESERVED,",
                           "KV-000101,VID_845e&PID_0001,PASS,",       "KV-000102,VID_845e&PID_0001,RESERVED,",
                           "KV-000102,VID_845e&PID_0001,PASS,"};
    EXPECT_EQ(LogRows(), firstRun);

    ScriptedUnits restarted(1);
    ASSERT_EQ(Line(restarted, {"--family", "A", "--start", "KV-000100", "--stop-after", "1"}), 0) << console.err;
    EXPECT_EQ(console.out.substr(0, console.out.find('\n')), "PASS  KV-000103  VID_845e&PID_0001");
    EXPECT_EQ(console.err.find("a new log"), std::string::npos) << "the log held rows";
    EXPECT_EQ(ChipSerial(), "KV-000103");
    Rows both = firstRun;
    both.insert(both.end(), {"KV-000103,VID_845e&PID_0001,RESERVED,", "KV-000103,VID_845e&PID_0001,PASS,"});
    EXPECT_EQ(LogRows(), both);
}

// --start KV-000100 --count 3 is KV-000100 to KV-000102, however often the
// line is started: a restart does not go on past the batch's labels.
TEST_F(LineTest, ASeriesEndsWithItsLastSerialHoweverOftenTheLineIsStartedAgain)
{
    const std::vector<std::string> series = {"--family", "A", "--start", "KV-000100", "--count", "3", "--quiet"};
    ScriptedUnits first(1);
    ASSERT_EQ(Line(first, series), 10) << "stopped with Ctrl+C after the first pass\n" << console.err;
    ClearInterrupt();
    ScriptedUnits restarted(4);
    ASSERT_EQ(Line(restarted, series), 0) << console.err;
    EXPECT_EQ(console.out, "PASS  KV-000101  VID_845e&PID_0001\nPASS  KV-000102  VID_845e&PID_0001\n");
    EXPECT_EQ(restarted.arrivals.size(), 2u) << "the line ends once its last serial has passed";

    ScriptedUnits again(1);
    EXPECT_EQ(Line(again, series), 2);
    EXPECT_NE(console.err.find("no serial after KV-000102: all it holds were given"), std::string::npos) << console.err;
    EXPECT_TRUE(again.arrivals.empty());
    EXPECT_EQ(LogRows().back(), "KV-000102,VID_845e&PID_0001,PASS,");
}

TEST_F(LineTest, StopAfterEndsEachRunOnceItsPassesAreLogged)
{
    for (const char* serial : {"KV-000100", "KV-000101"})
    {
        SCOPED_TRACE(serial);
        ScriptedUnits units(3);
        ASSERT_EQ(Line(units, {"--family", "A", "--start", "KV-000100", "--stop-after", "1", "--quiet"}), 0)
            << console.err;
        EXPECT_EQ(console.out, "PASS  " + std::string(serial) + "  VID_845e&PID_0001\n");
        EXPECT_EQ(units.arrivals.size(), 1u);
        EXPECT_EQ(ChipSerial(), serial);
    }
}

TEST_F(LineTest, ResumesAfterEveryRowTheLogHoldsAndVoidsAReservationWithoutResult)
{
    struct Case
    {
        const char* name;
        std::string log;
        const char* out;
        const char* said;
    };
    const std::string header = SerialHeader;
    const std::string quotedDevice =
        "2026-12-07T10:30:12+01:00,KV-000100,\"VID_845e&PID_0001, bench 2\",RESERVED,,\r\n";
    const Case cases[] = {
        // Logs without rows: a spreadsheet's empty sheet, and a header an editor saved without its line end.
        {"only a byte order mark", "\xEF\xBB\xBF", "PASS  KV-000100  VID_845e&PID_0001\n", ""},
        {"a header without its line end", header.substr(0, header.size() - 2), "PASS  KV-000100  VID_845e&PID_0001\n",
         ""},
        {"a spreadsheet's byte order mark", "\xEF\xBB\xBF" + header + Row("KV-000100", "PASS"),
         "PASS  KV-000101  VID_845e&PID_0001\n", ""},
        {"a reservation without result", SerialHeader + Row("KV-000100", "PASS") + Row("KV-000101", "RESERVED"),
         "VOID  KV-000101  VID_845e&PID_0001  interrupted\nPASS  KV-000102  VID_845e&PID_0001\n",
         "KV-000101 was reserved in row 3"},
        {"a device field a spreadsheet quoted", SerialHeader + quotedDevice,
         "VOID  KV-000100  VID_845e&PID_0001, bench 2  interrupted\nPASS  KV-000101  VID_845e&PID_0001\n",
         "KV-000100 was reserved in row 2"},
        {"LF line ends", "time,serial,device,result,first_difference,detail\n2026-12-07,KV-000100,VID,PASS,,\n",
         "PASS  KV-000101  VID_845e&PID_0001\n", ""},
    };
    for (const Case& test : cases)
    {
        SCOPED_TRACE(test.name);
        folder.WriteFile("line.csv", test.log);
        ScriptedUnits units(1);
        EXPECT_EQ(Line(units, {"--family", "A", "--start", "KV-000100", "--stop-after", "1", "--quiet"}), 0)
            << console.err;
        EXPECT_EQ(console.out, test.out);
        EXPECT_NE(console.err.find(test.said), std::string::npos) << console.err;
        // The next start takes every row this one added, in the log's own line ends (CRLF for one without rows).
        ScriptedUnits next(1);
        EXPECT_EQ(Line(next, {"--family", "A", "--start", "KV-000100", "--stop-after", "1", "--quiet"}), 0)
            << console.err;
        const std::string log = folder.ReadFile("line.csv");
        EXPECT_EQ(log.substr(0, test.log.size()), test.log);
        const bool crlf = test.log.find('\n') == std::string::npos || test.log.find('\r') != std::string::npos;
        EXPECT_NE(log.find(header.substr(0, header.size() - 2) + (crlf ? "\r\n" : "\n")), std::string::npos)
            << "the header is a row of its own";
        const std::string added = log.substr(test.log.size());
        const auto rows = std::count(added.begin(), added.end(), '\n');
        EXPECT_GE(rows, 4);
        EXPECT_EQ(std::count(added.begin(), added.end(), '\r'), crlf ? rows : 0) << added;
    }
}

TEST_F(LineTest, ASerialWrittenButNeverLoggedGoesToNoOtherUnit)
{
    // The log as a kill just after the first word was written would leave it.
    std::string atTheFirstWrite;
    std::thread kill;
    ScriptedUnits units(1);
    units.beforeArrival = [&](int)
    {
        kill = WhenWriting([&] { atTheFirstWrite = folder.ReadFile("line.csv"); });
    };
    ASSERT_EQ(Line(units, {"--family", "A", "--start", "KV-000100", "--stop-after", "1"}), 0) << console.err;
    kill.join();
    const std::string reserved = ",KV-000100,VID_845e&PID_0001,RESERVED,,\r\n";
    ASSERT_GT(atTheFirstWrite.size(), std::string(SerialHeader).size() + reserved.size());
    EXPECT_EQ(atTheFirstWrite.substr(atTheFirstWrite.size() - reserved.size()), reserved);

    folder.WriteFile("line.csv", atTheFirstWrite);
    ScriptedUnits restarted(1);
    ASSERT_EQ(Line(restarted, {"--family", "A", "--start", "KV-000100", "--stop-after", "1"}), 0) << console.err;
    EXPECT_EQ(console.out.substr(0, console.out.find("line:")),
              "VOID  KV-000100  VID_845e&PID_0001  interrupted\nPASS  KV-000101  VID_845e&PID_0001\n");
    EXPECT_EQ(ChipSerial(), "KV-000101");
}

TEST_F(LineTest, MendLogSetsALastRowCutShortAsideSoTheLineGoesOnWithoutReusingItsSerial)
{
    struct Case
    {
        const char* name;
        std::string before;    // the whole rows
        std::string cutShort;  // what a power cut left of the next
        const char* voided;    // what mend-log prints for it
        const char* next;      // the serial the next unit gets
    };
    const std::string passed = SerialHeader + Row("KV-000100", "RESERVED") + Row("KV-000100", "PASS");
    const std::string reserved = passed + Row("KV-000101", "RESERVED");
    const Case cases[] = {
        {"a result", reserved, "2026-12-08T07:10:57+00:00,KV-0", "VOID  KV-000101  VID_845e&PID_0001  interrupted\n",
         "KV-000102"},
        {"a result inside a quoted field", reserved, "2026-12-08T07:10:57+00:00,KV-000101,\"VID_845e&PID_0001, be",
         "VOID  KV-000101  VID_845e&PID_0001  interrupted\n", "KV-000102"},
        {"a reservation, whose unit was never written", passed, "2026-12-08T07:10:57+00:00,KV-000101,VID_845e&PI", "",
         "KV-000101"},
    };
    const std::string log = folder.PathOf("line.csv");
    const std::vector<std::string> mend = {"mend-log", log, "--family", "A"};
    const std::string copySuffixes[] = {"", "-2", "-3"};
    for (size_t index = 0; index < std::size(cases); ++index)
    {
        const Case& test = cases[index];
        SCOPED_TRACE(test.name);
        folder.WriteFile("line.csv", test.before + test.cutShort);
        ScriptedUnits refused(1);
        EXPECT_EQ(Line(refused, {"--family", "A", "--start", "KV-000100", "--stop-after", "1"}), 8);
        EXPECT_NE(console.err.find("cut short (was the power cut while it was written?). Run \"kelvra-cli mend-log " +
                                   log + " --family A\""),
                  std::string::npos)
            << console.err;

        console.Reset();
        EXPECT_EQ(RunKelvraCli(mend, console, refused), 0) << console.err;
        const std::string copy = "line.csv.before-mend" + copySuffixes[index];
        EXPECT_EQ(console.out, "mend-log: the row cut short \"" + test.cutShort +
                                   "\" was cut off; the log as it was is in " + folder.PathOf(copy) + "\n" +
                                   test.voided);
        EXPECT_EQ(folder.ReadFile(copy), test.before + test.cutShort);
        const std::string mended = folder.ReadFile("line.csv");
        EXPECT_EQ(mended.substr(0, test.before.size()), test.before);
        EXPECT_EQ(mended.size() > test.before.size(), *test.voided != '\0') << mended;

        ScriptedUnits units(1);
        EXPECT_EQ(Line(units, {"--family", "A", "--start", "KV-000100", "--stop-after", "1", "--quiet"}), 0)
            << console.err;
        EXPECT_EQ(console.out, std::string("PASS  ") + test.next + "  VID_845e&PID_0001\n");
    }

    // A log whose last row is whole, or that has no rows, is left as it is, and a missing one is not made.
    const std::string header = SerialHeader;
    const std::string leftAlone[] = {folder.ReadFile("line.csv"), header.substr(0, header.size() - 2)};
    ScriptedUnits none(0);
    for (const std::string& contents : leftAlone)
    {
        folder.WriteFile("line.csv", contents);
        console.Reset();
        EXPECT_EQ(RunKelvraCli(mend, console, none), 0);
        EXPECT_EQ(console.out, "mend-log: the last row of " + log + " is whole; nothing was changed\n");
        EXPECT_EQ(folder.ReadFile("line.csv"), contents);
    }
    EXPECT_EQ(GetFileAttributesA(folder.PathOf("line.csv.before-mend-4").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(RunKelvraCli({"mend-log", folder.PathOf("other.csv"), "--family", "A"}, console, none), 8);
    EXPECT_NE(console.err.find("does not exist"), std::string::npos) << console.err;
    EXPECT_EQ(GetFileAttributesA(folder.PathOf("other.csv").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(LineTest, AUnitThatPassedIsNeitherWrittenAgainNorLeftToAnotherProgram)
{
    ScriptedUnits first(1);
    ASSERT_EQ(Line(first, {"--family", "A", "--start", "KV-000100", "--stop-after", "1"}), 0) << console.err;

    // Started again with the unit that passed still attached; while each
    // unit waits to be pulled out, a plain write tries it.
    ScriptedUnits restarted(3);
    restarted.StartAttached();
    std::vector<std::string> serialsAtRemoval;
    std::vector<int> otherWrites;
    restarted.beforeRemoval = [&](int)
    {
        std::thread other(
            [&]
            {
                RecordingConsole otherConsole;
                otherWrites.push_back(RunKelvraCli(
                    {"write", folder.PathOf("base.hex"), "--family", "A", "--serial", "OTHER", "--device", "845e:0001"},
                    otherConsole, restarted));
            });
        other.join();
    };
    restarted.afterRemoval = [&](int)
    {
        serialsAtRemoval.push_back(ChipSerial());
    };
    ASSERT_EQ(Line(restarted, {"--family", "A", "--start", "KV-000100", "--stop-after", "2"}), 0) << console.err;
    EXPECT_NE(console.err.find("holds KV-000100, which passed in this log"), std::string::npos) << console.err;
    EXPECT_EQ(otherWrites, (std::vector<int>{9, 9})) << "busy: the line holds each unit until it is pulled out";
    EXPECT_EQ(serialsAtRemoval, (Rows{"KV-000100", "KV-000101"}));
    EXPECT_EQ(console.out.substr(0, console.out.find("line:")),
              "PASS  KV-000101  VID_845e&PID_0001\nPASS  KV-000102  VID_845e&PID_0001\n");
}

TEST_F(LineTest, SerialsFromInputRefuseMalformedAndUsedSerialsBeforeAnyUnitIsTouched)
{
    folder.WriteFile("line.csv", SerialHeader + Row("KV-000100", "RESERVED") + Row("KV-000100", "PASS") +
                                     Row("LABEL-1", "RESERVED") + Row("LABEL-1", "VOID"));
    ScriptedUnits units(1);
    const int status = Line(units, {"--family", "A", "--serials-from-input", "--stop-after", "1"},
                            "KV-0001 \nABCDEFGHIJKLMN\nKV\x01\nKV-000100\nkv-000100\nlabel-1\n\nLABEL-7\n");
    EXPECT_EQ(status, 2) << "a serial of the input was refused";
    const char* const refusals[] = {"\"KV-0001 \" refused: it ends with a space",
                                    "\"ABCDEFGHIJKLMN\" refused: it is longer than the 13 characters",
                                    "refused: it has a character that is not printable ASCII",
                                    "\"KV-000100\" refused: it passed in this log already",
                                    "\"kv-000100\" refused: it passed in this log already",
                                    "\"label-1\" refused: it is void in this log"};
    for (const char* refusal : refusals)
    {
        EXPECT_NE(console.err.find(refusal), std::string::npos) << refusal << "\n" << console.err;
    }
    EXPECT_EQ(console.out.substr(0, console.out.find('\n')), "PASS  LABEL-7  VID_845e&PID_0001");
    EXPECT_EQ(units.arrivals.size(), 1u);
    EXPECT_EQ(ChipSerial(), "LABEL-7");
    EXPECT_EQ(LogRows().back(), "LABEL-7,VID_845e&PID_0001,PASS,");
}

TEST_F(LineTest, AnOpenRefusedJustAfterArrivalIsTriedAgainForAMoment)
{
    // The first unit refuses two opens, the second every open.
    ScriptedUnits units(3);
    units.beforeArrival = [&](int unit)
    {
        SetEmulator("FailOpens", unit == 0 ? "2" : nullptr);
        SetEmulator("FailOpen", unit == 1 ? "1" : nullptr);
    };
    ASSERT_EQ(Line(units, {"--family", "A", "--start", "KV-000100", "--stop-after", "2", "--quiet"}), 0) << console.err;
    EXPECT_EQ(console.out, "PASS  KV-000100  VID_845e&PID_0001\n"
                           "FAIL  KV-000101  VID_845e&PID_0001  did not open\n"
                           "PASS  KV-000102  VID_845e&PID_0001\n");
    const std::string calls = Contents(stateFolder + "\\calls.log");
    const size_t firstWrite = calls.find(" WriteEEPROM ");
    size_t refused = 0;
    for (size_t at = calls.find(" -> 0\r\n"); at < firstWrite; at = calls.find(" -> 0\r\n", at + 1))
    {
        ++refused;
    }
    EXPECT_EQ(refused, 2u) << "the first unit's refused opens, before its first word";
}

TEST_F(LineTest, CtrlCBetweenUnitsEndsTheLineAndSkippedFailuresAreNotReused)
{
    // VT-B units are numbered; a failed one is skipped, and a restart goes on after it.
    ScriptedUnits units(2);
    const std::string settings = stateFolder + "\\emulator.ini";
    units.beforeArrival = [&](int unit)
    {
        WritePrivateProfileStringA("VT_HIDB", "FailBurnRead", unit == 1 ? "1" : nullptr, settings.c_str());
    };
    EXPECT_EQ(Line(units, {"--family", "B", "--skip-failed"}), 10);
    EXPECT_EQ(console.out, "PASS  1  VID_845e&PID_0001\n"
                           "FAIL  2  VID_845e&PID_0001  transfer failed\n"
                           "line: 1 passed, 1 failed; unit numbers passed: 1\n"
                           "line: failed attempts: 2\n");
    EXPECT_NE(console.err.find("ended with Ctrl+C between units"), std::string::npos) << console.err;

    ClearInterrupt();
    WritePrivateProfileStringA("VT_HIDB", "FailBurnRead", nullptr, settings.c_str());
    ScriptedUnits restarted(1);
    ASSERT_EQ(Line(restarted, {"--family", "B", "--stop-after", "1", "--skip-failed"}), 0) << console.err;
    EXPECT_EQ(LogRows(),
              (Rows{"VT-B unit,device,result,first_difference", "1,VID_845e&PID_0001,RESERVED,",
                    "1,VID_845e&PID_0001,PASS,", "2,VID_845e&PID_0001,RESERVED,", "2,VID_845e&PID_0001,FAIL,",
                    "3,VID_845e&PID_0001,RESERVED,", "3,VID_845e&PID_0001,PASS,"}));
}

TEST_F(LineTest, CtrlCDuringATransferFinishesTheUnitThenEndsTheLine)
{
    ScriptedUnits units(3);
    std::thread operatorAtTheKeyboard;
    units.beforeArrival = [&](int unit)
    {
        if (unit == 0)
        {
            operatorAtTheKeyboard = WhenWriting([] { RequestInterrupt(); });
        }
    };
    const int status = Line(units, {"--family", "A", "--start", "KV-000100"});
    operatorAtTheKeyboard.join();
    EXPECT_EQ(status, 10);
    EXPECT_EQ(console.out.substr(0, console.out.find('\n')), "PASS  KV-000100  VID_845e&PID_0001");
    EXPECT_NE(console.err.find("the last unit was finished"), std::string::npos) << console.err;
    EXPECT_EQ(ChipSerial(), "KV-000100");
    EXPECT_EQ(LogRows(), (Rows{"serial,device,result,first_difference", "KV-000100,VID_845e&PID_0001,RESERVED,",
                               "KV-000100,VID_845e&PID_0001,PASS,"}));
}

TEST_F(LineTest, AMissingDriverLibraryEndsTheLineOnceBeforeAnyUnit)
{
    SetDllDirectoryA(nullptr);
    ScriptedUnits units(1);
    EXPECT_EQ(Line(units, {"--family", "A", "--start", "KV-000100", "--stop-after", "1"}), 4);
    const std::string message = "VT_HIDA.dll did not load";
    EXPECT_NE(console.err.find(message), std::string::npos) << console.err;
    EXPECT_EQ(console.err.find(message), console.err.rfind(message)) << "said once:\n" << console.err;
    EXPECT_EQ(GetFileAttributesA(folder.PathOf("line.csv").c_str()), INVALID_FILE_ATTRIBUTES) << "nothing logged";
    EXPECT_EQ(units.registrations, 0) << "no unit was waited for";
}

TEST_F(LineTest, RefusesALogItCannotAccountForAndLeavesItAlone)
{
    struct Case
    {
        const char* name;
        std::string contents;
        std::vector<std::string> options;
        const char* message;
    };
    const std::vector<std::string> seriesA = {"--family", "A", "--start", "KV-000100", "--stop-after", "1"};
    const std::string unitColumns = ",device,result,first_difference,detail\r\n";
    const Case cases[] = {
        {"held by another line", "", seriesA, "is in use: another"},
        {"read-only", SerialHeader, seriesA, "is read-only"},
        {"not a log", "name,age\r\nAda,36\r\n", seriesA, "its first row is not"},
        {"a VT-B log", "time,VT-B unit" + unitColumns, seriesA, "it is a log of VT-B units"},
        {"a VT-B log to VT-C", "time,VT-B unit" + unitColumns, {"--family", "C"}, "it is a log of VT-B units"},
        {"an older VT-B or VT-C log to VT-C",
         "time,unit" + unitColumns + "2026-12-07,1,VID_845e&PID_0001,PASS,,\r\n",
         {"--family", "C"},
         "does not say which"},
        {"a row of another kind", SerialHeader + Row("KV-000100", "MAYBE"), seriesA, "its row 2 is not six fields"},
        {"a row cut short", SerialHeader + std::string("x,KV-000100,VID_845e"), seriesA,
         "cut short (was the power cut while it was written?). Run \"kelvra-cli mend-log "},
        {"an image given as the log", IdentityImage(), seriesA, "its first row is not"},
        {"a serial with a trailing space", SerialHeader + Row("KV-000100", "PASS") + Row("KV-000201 ", "PASS"), seriesA,
         "its row 3 names \"KV-000201 \", which ends with a space"},
        {"serials a spreadsheet shortened",
         SerialHeader + Row("100", "PASS") + Row("101", "PASS"),
         {"--family", "A", "--start", "000100"},
         "its row 2 names \"100\", which has 3 digits, not 6"},
        {"a start of another case",
         SerialHeader + Row("KV-000200", "PASS"),
         {"--family", "A", "--start", "kv-000200"},
         "its row 2 names \"KV-000200\", which has the prefix \"KV-\", not \"kv-\" (they differ in case)"},
    };
    for (const Case& test : cases)
    {
        SCOPED_TRACE(test.name);
        const std::string name = test.name;
        SetFileAttributesA(folder.PathOf("line.csv").c_str(), FILE_ATTRIBUTE_NORMAL);
        folder.WriteFile("line.csv", test.contents);
        LineLog otherLine;
        if (name == "held by another line")
        {
            ASSERT_EQ(otherLine.Open(WindowsName(folder.PathOf("line.csv")).data(), "other", ChipFamily::A), "");
        }
        if (name == "read-only")
        {
            SetFileAttributesA(folder.PathOf("line.csv").c_str(), FILE_ATTRIBUTE_READONLY);
        }
        const std::string before = folder.ReadFile("line.csv");
        ScriptedUnits units(1);
        EXPECT_EQ(Line(units, test.options), 8);
        EXPECT_NE(console.err.find(test.message), std::string::npos) << console.err;
        EXPECT_EQ(folder.ReadFile("line.csv"), before);
        EXPECT_EQ(units.registrations, 0) << "no unit was waited for";
    }
    SetFileAttributesA(folder.PathOf("line.csv").c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(ChipSerial(), "<no chip>");
    EXPECT_EQ(ChipSerial("VT_HIDC"), "<no chip>");
}
TEST_F(LineTest, CtrlCBeforeAReservationEndsTheLineAndTouchesNothing)
{
    enum class Pressed
    {
        BeforeTheStart,
        WhileTheAttachedUnitIsRead,
        WhileTheSerialIsAwaited,
    };
    struct Case
    {
        const char* name;
        Pressed pressed;
        std::vector<std::string> options;
    };
    const std::vector<std::string> series = {"--family", "A", "--start", "KV-000100"};
    const Case cases[] = {
        {"before the start, a unit attached", Pressed::BeforeTheStart, series},
        {"while the attached unit is read", Pressed::WhileTheAttachedUnitIsRead, series},
        {"while the next serial is awaited, the input open",
         Pressed::WhileTheSerialIsAwaited,
         {"--family", "A", "--serials-from-input"}},
    };
    for (const Case& test : cases)
    {
        SCOPED_TRACE(test.name);
        ClearInterrupt();
        DeleteFileA(folder.PathOf("line.csv").c_str());
        DeleteFileA((stateFolder + "\\calls.log").c_str());
        ScriptedUnits units(1);
        std::thread operatorAtTheKeyboard;
        if (test.pressed == Pressed::WhileTheSerialIsAwaited)
        {
            console.whenInputWaits = []
            {
                RequestInterrupt();
            };
        }
        else
        {
            units.StartAttached();
        }
        if (test.pressed == Pressed::BeforeTheStart)
        {
            RequestInterrupt();
        }
        if (test.pressed == Pressed::WhileTheAttachedUnitIsRead)
        {
            operatorAtTheKeyboard = WhenCalled(" ReadEEPROM ", [] { RequestInterrupt(); });
        }
        const int status = Line(units, test.options, "", test.pressed == Pressed::WhileTheSerialIsAwaited);
        if (operatorAtTheKeyboard.joinable())
        {
            operatorAtTheKeyboard.join();
        }
        console.whenInputWaits = nullptr;
        EXPECT_EQ(status, 10);
        EXPECT_NE(console.err.find("ended with Ctrl+C between units"), std::string::npos) << console.err;
        EXPECT_EQ(console.out.find("PASS"), std::string::npos) << console.out;
        EXPECT_EQ(LogRows(), Rows{"serial,device,result,first_difference"}) << "no reservation";
        EXPECT_FALSE(Written());
    }
}

TEST_F(LineTest, TheSerialGivenLastBeforeAUnitArrivesIsTheOneItGets)
{
    ScriptedUnits units(2);
    int ticks = 0;
    // The first unit comes once the line has said what the second serial does (bounded: 3 s).
    units.mayArrive = [&](int unit)
    {
        return unit != 0 || console.err.find("replaces") != std::string::npos || ++ticks > 300;
    };
    // Scanned while the first unit is in hand: it waits for the next one.
    units.beforeRemoval = [&](int unit)
    {
        if (unit == 0)
        {
            console.Give("C-3\n");
            console.Close();
        }
    };
    const int status = Line(units, {"--family", "A", "--serials-from-input"}, "A-1\nB-2\n", true);
    EXPECT_EQ(status, 0) << console.err;
    EXPECT_EQ(console.out, "PASS  B-2  VID_845e&PID_0001\n"
                           "PASS  C-3  VID_845e&PID_0001\n"
                           "line: 2 passed, 0 failed; serials passed: B-2, C-3\n");
    EXPECT_NE(console.err.find("kelvra-cli: serial B-2 replaces A-1"), std::string::npos) << console.err;
    EXPECT_NE(console.err.find("line: plug in the next unit (serial B-2)"), std::string::npos) << console.err;
    EXPECT_EQ(ChipSerial(), "C-3");
    EXPECT_EQ(LogRows(),
              (Rows{"serial,device,result,first_difference", "B-2,VID_845e&PID_0001,RESERVED,",
                    "B-2,VID_845e&PID_0001,PASS,", "C-3,VID_845e&PID_0001,RESERVED,", "C-3,VID_845e&PID_0001,PASS,"}));
}

// The refused scan was the label of the unit in hand: A-1, scanned before,
// is another unit's, so that unit must not get it.
TEST_F(LineTest, ARefusedScanWhileAUnitIsAwaitedDropsTheSerialWaitingToo)
{
    ScriptedUnits units(1);
    int ticks = 0;
    // The unit comes once the scan was refused (bounded: 3 s); the input ends there.
    units.mayArrive = [&](int)
    {
        if (ticks++ == 0)
        {
            console.Give("ABCDEFGHIJKLMN\n");
            console.Close();
        }
        return console.err.find("refused") != std::string::npos || ticks > 300;
    };
    const int status = Line(units, {"--family", "A", "--serials-from-input"}, "A-1\n", true);
    EXPECT_EQ(status, 2) << "a serial refused";
    EXPECT_NE(console.err.find("kelvra-cli: A-1 is dropped too: scan this unit's label again.\n"
                               "line: scan or type the next unit's serial"),
              std::string::npos)
        << console.err;
    EXPECT_EQ(console.out.find("PASS"), std::string::npos) << console.out;
    EXPECT_FALSE(Written());
    EXPECT_EQ(LogRows(), Rows{"serial,device,result,first_difference"}) << "no reservation";
}

TEST_F(LineTest, InputWithAByteOrderMarkLinesOfSpacesOrControlBytesIsReadSafely)
{
    struct Case
    {
        const char* name;
        std::string input;
        int status;
        const char* said;
    };
    const Case cases[] = {
        {"a byte order mark before the first serial", "\xEF\xBB\xBFLABEL-1\n", 0, ""},
        {"a line of spaces", "   \nLABEL-1\n", 0, ""},
        {"a long line", std::string(10000, 'A') + "\nLABEL-1\n", 2,
         "serial \"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA...\" (10000 characters) refused"},
        {"control bytes", std::string("K\0V\x1b[2J\rX\nLABEL-1\n", 18), 2, "serial \"K\\x00V\\x1b[2J\\x0dX\" refused"},
    };
    for (const Case& test : cases)
    {
        SCOPED_TRACE(test.name);
        DeleteFileA(folder.PathOf("line.csv").c_str());
        ScriptedUnits units(1);
        EXPECT_EQ(Line(units, {"--family", "A", "--serials-from-input", "--stop-after", "1"}, test.input), test.status)
            << console.err;
        EXPECT_EQ(console.out.substr(0, console.out.find('\n')), "PASS  LABEL-1  VID_845e&PID_0001");
        EXPECT_NE(console.err.find(test.said), std::string::npos) << console.err;
        EXPECT_LT(console.err.size(), 1000u);
        EXPECT_TRUE(std::all_of(console.err.begin(), console.err.end(),
                                [](char character)
                                { return character == '\n' || (character >= 0x20 && character < 0x7F); }))
            << console.err;
    }
}

TEST_F(LineTest, AFailedSerialGoesToNoOtherUnitButTheUnitThatFailedMayTryItAgain)
{
    struct Case
    {
        const char* name;
        const char* option;
        bool sameUnit;
        const char* second;
    };
    const Case cases[] = {
        {"another unit", nullptr, false, "KV-000101"},
        {"the same unit again", nullptr, true, "KV-000100"},
        {"another unit, as old scripts ask", "--skip-failed", false, "KV-000101"},
        {"the same unit again, as old scripts ask", "--skip-failed", true, "KV-000100"},
        {"another unit, duplicates allowed", "--allow-duplicate-serials", false, "KV-000100"},
    };
    const std::string chip = folder.PathOf("chips\\VT_HIDA-845E0001.bin");
    for (const Case& test : cases)
    {
        SCOPED_TRACE(test.name);
        DeleteFileA(folder.PathOf("line.csv").c_str());
        DeleteFileA(chip.c_str());
        ScriptedUnits units(2);
        // The first unit reads back one byte of its serial wrong; another unit is blank.
        units.beforeArrival = [&](int unit)
        {
            SetEmulator("CorruptReadOffset", unit == 0 ? "10" : nullptr);
            if (unit == 1 && !test.sameUnit)
            {
                DeleteFileA(chip.c_str());
            }
        };
        std::vector<std::string> options = {"--family", "A", "--start", "KV-000100", "--stop-after", "1", "--quiet"};
        if (test.option != nullptr)
        {
            options.push_back(test.option);
        }
        EXPECT_EQ(Line(units, options), 0) << console.err;
        EXPECT_EQ(console.out, "FAIL  KV-000100  VID_845e&PID_0001  verify differs at 0x000a\nPASS  " +
                                   std::string(test.second) + "  VID_845e&PID_0001\n");
        EXPECT_EQ(ChipSerial(), test.second);
    }

    // A scanned label belongs to its unit: scanned again, it is a retry.
    DeleteFileA(folder.PathOf("line.csv").c_str());
    ScriptedUnits units(2);
    units.beforeArrival = [&](int unit)
    {
        SetEmulator("CorruptReadOffset", unit == 0 ? "10" : nullptr);
    };
    units.beforeRemoval = [&](int unit)
    {
        if (unit == 0)
        {
            console.Give("LABEL-1\n");
            console.Close();
        }
    };
    EXPECT_EQ(Line(units, {"--family", "A", "--serials-from-input", "--skip-failed", "--quiet"}, "LABEL-1\n", true), 0)
        << console.err;
    EXPECT_EQ(console.out,
              "FAIL  LABEL-1  VID_845e&PID_0001  verify differs at 0x000a\nPASS  LABEL-1  VID_845e&PID_0001\n");

    // Still attached when the line starts again, the unit that failed gets its serial back.
    folder.WriteFile("line.csv", SerialHeader + Row("KV-000100", "RESERVED") + Row("KV-000100", "FAIL"));
    std::string failedChip = IdentityImage();
    Family0Image::ReplaceStringField(reinterpret_cast<std::uint8_t*>(&failedChip[0]), Family0Image::SerialNumberField,
                                     "KV-000100");
    folder.WriteFile("chips\\VT_HIDA-845E0001.bin", failedChip);
    ScriptedUnits restarted(1);
    restarted.StartAttached();
    EXPECT_EQ(Line(restarted, {"--family", "A", "--start", "KV-000100", "--stop-after", "1", "--quiet"}), 0)
        << console.err;
    EXPECT_EQ(console.out, "PASS  KV-000100  VID_845e&PID_0001\n");
    EXPECT_NE(console.err.find("holds KV-000100, which failed in this log"), std::string::npos) << console.err;
}

TEST_F(LineTest, AVtbUnitAttachedAtTheStartIsWrittenOnlyOnceAttachedAgain)
{
    // Its number cannot be read: it may be one that passed before the line was started again.
    ScriptedUnits units(2);
    units.StartAttached();
    bool writtenBeforeRemoval = true;
    units.beforeRemoval = [&](int unit)
    {
        if (unit == 0)
        {
            writtenBeforeRemoval =
                GetFileAttributesA(folder.PathOf("chips\\VT_HIDB-845E0001.bin").c_str()) != INVALID_FILE_ATTRIBUTES;
        }
    };
    EXPECT_EQ(Line(units, {"--family", "B", "--stop-after", "1", "--quiet"}), 0) << console.err;
    EXPECT_FALSE(writtenBeforeRemoval);
    EXPECT_NE(console.err.find("remove it and attach it again"), std::string::npos) << console.err;
    EXPECT_EQ(console.out, "PASS  1  VID_845e&PID_0001\n");
    EXPECT_EQ(LogRows(), (Rows{"VT-B unit,device,result,first_difference", "1,VID_845e&PID_0001,RESERVED,",
                               "1,VID_845e&PID_0001,PASS,"}));
}
}  // namespace
