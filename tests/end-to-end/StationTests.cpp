// The real KelvraStation.exe in a folder of its own with the emulated driver
// libraries beside it, set up on its command line, run from the working
// folder on Wine's device 845e/0001 (always attached), and driven from this
// process as an operator drives it: Start, Stop, the close box, a scanner's
// keystrokes. With KELVRA_STATION_SCREENSHOTS naming a folder, each state
// worth a picture waits there for scripts/station-screenshots.sh to take it.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>

#include "ChildProcess.h"
#include "EndToEndTest.h"
#include "ImageHash.h"
#include "LedgerBook.h"
#include "KelvraProgramLocation.h"
#include "StationAutomation.h"
#include "StationResource.h"

namespace EndToEnd
{
namespace
{
using KelvraAutomation::Milliseconds;
using KelvraAutomation::StationWindow;
using Cells = std::vector<std::vector<std::string>>;

const char* const Ellipsis = "\xE2\x80\xA6";
const char* const SerialHeader = "time,serial,device,result,first_difference,detail\r\n";

// One KelvraStation.exe; closed, and failing that ended, when it goes.
class StationProcess
{
public:
    StationProcess(const std::string& executable, const std::vector<std::string>& arguments, const std::string& folder,
                   std::string environment)
    {
        std::string commandLine = CommandLineArgument(executable);
        for (const std::string& argument : arguments)
        {
            commandLine += " " + CommandLineArgument(argument);
        }
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        if (!StartProcess(executable, commandLine, FALSE, 0, &environment[0], folder.c_str(), startup, m_info))
        {
            throw std::runtime_error("cannot start " + executable);
        }
        m_window.emplace(StationWindow::Find(m_info.dwProcessId));
        m_window->WaitUntilReady();
    }
    ~StationProcess()
    {
        if (!Ended(0) && m_window)
        {
            m_window->Close();
        }
        if (!Ended(30000))
        {
            TerminateProcess(m_info.hProcess, 1);
            WaitForSingleObject(m_info.hProcess, 10000);
        }
        CloseHandle(m_info.hThread);
        CloseHandle(m_info.hProcess);
    }
    StationProcess(const StationProcess&) = delete;
    StationProcess& operator=(const StationProcess&) = delete;

    const StationWindow& Window() const { return *m_window; }
    bool Ended(DWORD milliseconds) const { return WaitForSingleObject(m_info.hProcess, milliseconds) == WAIT_OBJECT_0; }

private:
    PROCESS_INFORMATION m_info{};
    std::optional<StationWindow> m_window;
};

// The system's DPI, as the display settings set it, for the programs started
// while it lives; the setting before is put back.
class SystemDpi
{
public:
    explicit SystemDpi(DWORD dpi)
    {
        RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                        &m_key, nullptr);
        DWORD size = sizeof m_before;
        m_had = RegQueryValueExW(m_key, L"LogPixels", nullptr, nullptr, reinterpret_cast<BYTE*>(&m_before), &size) ==
                ERROR_SUCCESS;
        RegSetValueExW(m_key, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi);
    }
    ~SystemDpi()
    {
        if (m_had)
        {
            RegSetValueExW(m_key, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&m_before),
                           sizeof m_before);
        }
        else
        {
            RegDeleteValueW(m_key, L"LogPixels");
        }
        RegCloseKey(m_key);
    }
    SystemDpi(const SystemDpi&) = delete;
    SystemDpi& operator=(const SystemDpi&) = delete;

private:
    HKEY m_key = nullptr;
    DWORD m_before = 0;
    bool m_had = false;
};

// The letters after '&' in the texts of the window's visible controls, lower case.
std::vector<char> AccessKeys(HWND window)
{
    std::vector<char> keys;
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
    {
        char text[256] = {};
        GetWindowTextA(child, text, sizeof text);
        const char* const mark = IsWindowVisible(child) ? std::strchr(text, '&') : nullptr;
        if (mark != nullptr && mark[1] != '\0' && mark[1] != '&')
        {
            keys.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(mark[1]))));
        }
    }
    return keys;
}

class StationTest : public EndToEndTest
{
protected:
    StationTest()
    {
        Install();
        m_station = ProgramFolder() + "\\KelvraStation.exe";
        CopyFileA(WindowsPathOf(KelvraStationHostPath).c_str(), m_station.c_str(), FALSE);
        const std::string base = IdentityImage(0x6707, 0x1209, 0x0001, "Widget", "Acme", "SAMPLE");
        WriteBytes("base.hex", base);
    }

    // Started with the image, VT-A, the device and the log, then arguments.
    const StationWindow& Start(const std::vector<std::string>& arguments, const char* device = "845e:0001",
                               const std::string& log = "line.csv")
    {
        std::vector<std::string> all = {"base.hex", "--family", "A", "--device", device, "--log", log};
        all.insert(all.end(), arguments.begin(), arguments.end());
        return StartWith(all);
    }

    const StationWindow& StartWith(const std::vector<std::string>& arguments)
    {
        m_process = std::make_unique<StationProcess>(m_station, arguments, WorkingFolder(), ChildEnvironment());
        return m_process->Window();
    }

    // A series from serial started, once its first unit's first word is written.
    const StationWindow& StartWritingUnit(const std::string& serial)
    {
        const StationWindow& station = Start({"--start", serial});
        station.Click(IDC_START);
        station.WaitForPanel("Programming " + serial + Ellipsis);
        if (!KelvraAutomation::WaitUntil([&] { return CallCount("WriteEEPROM") > 0; }, Milliseconds(20000),
                                         Milliseconds(10)))
        {
            throw std::runtime_error("no word was written");
        }
        return station;
    }

    void WriteBytes(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(WorkingFolder() + "\\" + name, std::ios::binary) << bytes;
    }

    std::string ReadBytes(const std::string& name) const
    {
        std::ifstream file(WorkingFolder() + "\\" + name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }

    std::string ChipSerial() const
    {
        const std::string chip = Chip("VT_HIDA-845E0001.bin");
        return chip.substr(7, static_cast<unsigned char>(chip[6]) / 2 - 1);
    }

    size_t CallCount(const std::string& function) const
    {
        size_t count = 0;
        for (const LoggedCall& call : Calls())
        {
            count += call.function == function;
        }
        return count;
    }

    // The serial and result of each row the list shows, the newest first.
    static Cells Results(const StationWindow& station)
    {
        Cells results;
        for (const auto& row : station.LogRows())
        {
            results.push_back({row.at(1), row.at(2)});
        }
        return results;
    }

    // Waits, when asked to, for the screenshot script to take this state.
    static void Snapshot(const StationWindow& station, const std::string& state)
    {
        char folder[MAX_PATH] = {};
        if (GetEnvironmentVariableA("KELVRA_STATION_SCREENSHOTS", folder, MAX_PATH) == 0)
        {
            return;
        }
        RedrawWindow(station.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        RECT area{};
        GetWindowRect(station.Handle(), &area);
        const std::string marker = std::string(folder) + "\\" + state + ".ready";
        std::ofstream(marker) << area.right - area.left << "x" << area.bottom - area.top << "+" << area.left << "+"
                              << area.top << "\n";
        KelvraAutomation::WaitUntil([&] { return GetFileAttributesA(marker.c_str()) == INVALID_FILE_ATTRIBUTES; },
                                    Milliseconds(30000), Milliseconds(50));
    }

    // kelvra-cli writing a unit while the station shows it.
    ProcessRun Hijack() const
    {
        return RunProcess(WindowsPathOf(KelvraCliHostPath),
                          {"write", "base.hex", "--family", "A", "--device", "845e:0001", "--serial", "HIJACK"},
                          WorkingFolder(), ChildEnvironment(EmulatedDriversFolder));
    }

    std::unique_ptr<StationProcess> m_process;
    std::string m_station;
};

struct WindowSearch
{
    DWORD process;
    const char* title;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM parameter)
{
    auto& search = *reinterpret_cast<WindowSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char text[64] = {};
    GetWindowTextA(window, text, sizeof text);
    search.found = owner == search.process && std::string(text) == search.title ? window : nullptr;
    return search.found == nullptr;
}

// The top-level window of process titled title, or none.
HWND WindowOf(DWORD process, const char* title)
{
    WindowSearch search{process, title, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

TEST_F(StationTest, HelpShowsTheOptionsFromItsTableAndOpensNoStation)
{
    std::string environment = ChildEnvironment();
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::string commandLine = CommandLineArgument(m_station) + " --log line.csv /?";
    ASSERT_TRUE(
        StartProcess(m_station, commandLine, FALSE, 0, &environment[0], WorkingFolder().c_str(), startup, process));
    HWND box = nullptr;
    KelvraAutomation::WaitUntil([&] { return (box = WindowOf(process.dwProcessId, "Kelvra Station")) != nullptr; },
                                Milliseconds(30000), Milliseconds(50));
    ASSERT_NE(box, nullptr);
    char text[4096] = {};
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    EXPECT_NE(std::string(text).find("[--count N]"), std::string::npos) << text;
    EXPECT_NE(std::string(text).find("COUNT=)"), std::string::npos) << text;
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 30000), WAIT_OBJECT_0);
    DWORD status = 1;
    GetExitCodeProcess(process.hProcess, &status);
    EXPECT_EQ(status, 0u);
    EXPECT_EQ(GetFileAttributesA((WorkingFolder() + "\\line.csv").c_str()), INVALID_FILE_ATTRIBUTES);
    TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

TEST_F(StationTest, AOneUnitSeriesPassesAndItsRowsShow)
{
    const StationWindow& station = Start({"--start", "KV-000100", "--count", "1"});
    EXPECT_EQ(station.Text(IDC_PANEL), "Press Start");
    station.Click(IDC_START);
    station.WaitUntilStopped();
    EXPECT_EQ(station.Text(IDC_PANEL), "PASS KV-000100: remove the unit");
    EXPECT_EQ(station.Text(IDC_PASSED) + station.Text(IDC_FAILED) + station.Text(IDC_VOID), "100");
    EXPECT_EQ(Results(station), (Cells{{"KV-000100", "PASS"}, {"KV-000100", "RESERVED"}}));
    EXPECT_EQ(ChipSerial(), "KV-000100");
    Snapshot(station, "pass");

    // The panel still asks for the unit's removal: it is no other program's yet.
    const ProcessRun hijack = Hijack();
    EXPECT_EQ(hijack.exitCode, 9u) << hijack.err;
    EXPECT_EQ(ChipSerial(), "KV-000100");
    // Held until the window closes, so a series never restarts on a new log.
    const std::string log = WorkingFolder() + "\\line.csv";
    const std::string moved = WorkingFolder() + "\\moved.csv";
    EXPECT_FALSE(MoveFileA(log.c_str(), moved.c_str())) << "the log could be renamed";
    EXPECT_FALSE(DeleteFileA(log.c_str())) << "the log could be deleted";
    station.Close();
    ASSERT_TRUE(m_process->Ended(30000));
    EXPECT_TRUE(MoveFileA(log.c_str(), moved.c_str())) << "let go once the window closed";
}

TEST_F(StationTest, AOneUnitSeriesOnTheSharedLedgerPasses)
{
    std::ifstream server(WindowsPathOf(LedgerServerHostPath + "/connection"));
    const std::string place((std::istreambuf_iterator<char>(server)), std::istreambuf_iterator<char>());
    if (place.empty())
    {
        GTEST_SKIP() << "no PostgreSQL server: the test command said why";
    }
    const std::string connection = "Driver={PostgreSQL Unicode};" + place;
    const std::string series = "window-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount());
    const std::string image = ReadBytes("base.hex");
    LedgerBook book(connection, "");
    std::string done;
    bool same = false;
    ASSERT_TRUE(book.Connect(false).Succeeded());
    ASSERT_TRUE(book.Init(done).Succeeded());
    ASSERT_TRUE(
        book.DefineSeries(
                {series, ChipFamily::A, 128, Sha256Hex(std::vector<BYTE>(image.begin(), image.end())), {"W-", 1, 3}, 1},
                same)
            .Succeeded());

    const StationWindow& station = StartWith(
        {"base.hex", "--device", "845e:0001", "--series", series, "--ledger", connection, "--station", "window"});
    station.Click(IDC_START);
    station.WaitUntilStopped();
    EXPECT_EQ(station.Text(IDC_PANEL), "PASS W-001: remove the unit");
    EXPECT_EQ(ChipSerial(), "W-001");
    SeriesStatus status;
    ASSERT_TRUE(book.Status(series, status).Succeeded());
    EXPECT_EQ(status.all.passed, 1u);
    EXPECT_EQ(status.left, 0u);
    Snapshot(station, "ledger-pass");
}

TEST_F(StationTest, StopDuringAUnitFinishesAndLogsItFirst)
{
    const StationWindow& station = StartWritingUnit("KV-000200");
    Snapshot(station, "programming");
    station.Click(IDC_STOP);
    EXPECT_EQ(station.Text(IDC_DETAIL),
              "Writing, then reading back: leave the unit attached. Stopping once this unit is done.");
    station.WaitUntilStopped();
    EXPECT_EQ(station.Text(IDC_PANEL), "PASS KV-000200: remove the unit");
    EXPECT_EQ(station.Text(IDC_DETAIL),
              "KV-000200 is written, read back and logged. The line is stopped: press Start to go on.");
    EXPECT_EQ(Hijack().exitCode, 9u) << "the unit the panel asks to remove is the station's until then";
    Snapshot(station, "stopped");
    EXPECT_EQ(CallCount("WriteEEPROM"), 64u);
    EXPECT_EQ(CallCount("ReadEEPROM"), 128u) << "the attached unit's check at the start, then the verify";
    EXPECT_EQ(ChipSerial(), "KV-000200");
    EXPECT_EQ(Results(station), (Cells{{"KV-000200", "PASS"}, {"KV-000200", "RESERVED"}}));
}

TEST_F(StationTest, ClosingTheWindowDuringAUnitFinishesAndLogsItThenCloses)
{
    const StationWindow& station = StartWritingUnit("KV-000300");
    station.Close();
    EXPECT_FALSE(m_process->Ended(200)) << "the window waits for the unit";
    EXPECT_TRUE(m_process->Ended(30000));
    EXPECT_EQ(CallCount("ReadEEPROM"), 128u) << "the attached unit's check at the start, then the verify";
    EXPECT_EQ(ChipSerial(), "KV-000300");
    const std::string log = ReadBytes("line.csv");
    EXPECT_NE(log.find(",KV-000300,VID_845e&PID_0001,PASS,,\r\n"), std::string::npos) << log;
}

TEST_F(StationTest, AScannedSerialTypedIntoTheFieldIsWrittenToTheUnit)
{
    const StationWindow& station = Start({"--scan"});
    station.Click(IDC_START);
    station.WaitForPanel("Scan the unit's serial");
    station.Scan("SERIAL-TOO-LONG");
    station.WaitForPanel("Refused: SERIAL-TOO-LONG");
    EXPECT_EQ(station.Text(IDC_SCAN), "") << "the field is ready for the next scan";
    Snapshot(station, "refused");
    station.Scan("LABEL-42");
    station.WaitForPanel("PASS LABEL-42: remove the unit");
    EXPECT_EQ(ChipSerial(), "LABEL-42");
    // Perhaps the label of the unit in hand: never kept for the next one.
    station.Scan("LABEL-43");
    EXPECT_TRUE(KelvraAutomation::WaitUntil(
        [&] { return station.Text(IDC_DETAIL).find("Scan refused: a unit is in hand.") != std::string::npos; },
        Milliseconds(10000), Milliseconds(20)))
        << station.Text(IDC_DETAIL);
    Snapshot(station, "scan-refused");
    station.Click(IDC_STOP);
    station.WaitUntilStopped();
    EXPECT_EQ(Results(station), (Cells{{"LABEL-42", "PASS"}, {"LABEL-42", "RESERVED"}}));
}

TEST_F(StationTest, AScanAfterStopDuringAUnitIsAnsweredInTheSerialField)
{
    const StationWindow& station = Start({"--scan"});
    station.Click(IDC_START);
    station.WaitForPanel("Scan the unit's serial");
    EXPECT_EQ(station.Text(IDC_DETAIL),
              "A new log: no serial was given in it yet.\nScan its label, or type the serial and "
              "press Enter.");
    station.Scan("LABEL-50");
    station.WaitForPanel(std::string("Programming LABEL-50") + Ellipsis);
    station.Click(IDC_STOP);
    station.Scan("LABEL-51");
    EXPECT_TRUE(KelvraAutomation::WaitUntil(
        [&]
        {
            const std::string detail = station.Text(IDC_DETAIL);
            return detail.find("The line is stopping") != std::string::npos ||
                   detail.find("The line is not running") != std::string::npos;
        },
        Milliseconds(10000), Milliseconds(20)))
        << station.Text(IDC_DETAIL);
    station.WaitUntilStopped();
    EXPECT_EQ(ChipSerial(), "LABEL-50");
}

TEST_F(StationTest, AStartThatFindsItsLogGoneIsRefused)
{
    const std::string folder = NewFolder("logs");
    const StationWindow& station = Start({"--start", "KV-000100"}, "845e:0001", folder + "\\line.csv");
    station.Click(IDC_START);
    station.WaitForPanel("PASS KV-000100: remove the unit");
    station.Click(IDC_STOP);
    station.WaitUntilStopped();
    // The log itself is held; Wine lets its folder go, as a drive taken away would.
    const std::string moved = folder + "-moved";
    if (!MoveFileA(folder.c_str(), moved.c_str()))
    {
        GTEST_SKIP() << "Windows keeps the folder of an open file: the log cannot go";
    }
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    station.Click(IDC_START);
    station.WaitForPanel("Not started");
    EXPECT_NE(station.Text(IDC_DETAIL).find("line.csv is gone since this window used it"), std::string::npos)
        << station.Text(IDC_DETAIL);
    EXPECT_EQ(GetFileAttributesA((folder + "\\line.csv").c_str()), INVALID_FILE_ATTRIBUTES) << "no new log";
    EXPECT_EQ(ChipSerial(), "KV-000100");
}

TEST_F(StationTest, AUnitLeftAttachedSinceItsResultIsNotWrittenWhenStartedAgain)
{
    SetEmulatorSettings("[VT_HIDA]\r\nCorruptReadOffset=7\r\n");
    const StationWindow& station = Start({"--start", "KV-000500"});
    station.Click(IDC_START);
    station.WaitForPanel("FAIL: verify differs at 0x07: remove the unit");
    station.Click(IDC_STOP);
    station.WaitUntilStopped();
    const size_t written = CallCount("WriteEEPROM");
    station.Click(IDC_START);
    station.WaitForPanel("Remove the unit first");
    EXPECT_EQ(station.Text(IDC_DETAIL), "KV-000500 is still attached since its result, and is not written again.");
    Snapshot(station, "still-attached");
    EXPECT_EQ(Hijack().exitCode, 9u) << "the unit is the station's until it is removed";
    EXPECT_EQ(CallCount("WriteEEPROM"), written);
}

TEST_F(StationTest, FitsAnEightHundredBySixHundredScreenAt96And120Dpi)
{
    const std::string folder = NewFolder("a-long-folder-name-for-the-line-logs-of-the-east-bench");
    const std::string log = folder + "\\widget-line-of-the-east-bench-with-a-long-name.csv";
    for (const DWORD dpi : {96u, 120u})
    {
        SCOPED_TRACE(dpi);
        const SystemDpi system(dpi);
        const StationWindow& station = Start({"--scan"}, "845e:0001", log);
        RECT window{};
        RECT stop{};
        GetWindowRect(station.Handle(), &window);
        GetWindowRect(GetDlgItem(station.Handle(), IDC_STOP), &stop);
        // Windows scales a dialog with the DPI, and its fonts a little more than Wine does.
        const double scale = 120.0 / dpi;
        EXPECT_LE((window.right - window.left) * scale, 800.0);
        EXPECT_LE((window.bottom - window.top) * scale, 600.0);
        EXPECT_TRUE(stop.right <= window.right && stop.bottom <= window.bottom) << "Stop is off the window";
        EXPECT_EQ(station.Text(IDC_SETUP_LOG), "Log: " + log);
        const std::vector<char> keys = AccessKeys(station.Handle());
        EXPECT_EQ(std::set<char>(keys.begin(), keys.end()).size(), keys.size())
            << "two controls share an access key: " << std::string(keys.begin(), keys.end());
        station.Close();
        EXPECT_TRUE(m_process->Ended(30000));
        m_process.reset();
    }
}

TEST_F(StationTest, UnitsItDoesNotPassShowTheirStateOnThePanel)
{
    struct Case
    {
        const char* name;
        const char* device;
        const char* emulator;
        std::string log;
        std::string chip;
        std::string panel;
    };
    const Case cases[] = {
        {"fail", "845e:0001", "[VT_HIDA]\r\nCorruptReadOffset=7\r\n", "", "",
         "FAIL: verify differs at 0x07: remove the unit"},
        {"already-programmed", "845e:0001", "",
         SerialHeader + std::string("2026-12-07T10:30:12+01:00,KV-000400,VID_845e&PID_0001,PASS,,\r\n"),
         IdentityImage(0x6707, 0x1209, 0x0001, "Widget", "Acme", "KV-000400"),
         "Unit already programmed as KV-000400: remove it"},
        // No such device is attached: the line waits for one.
        {"attach", "845e:0003", "", "", "", "Attach a unit"},
    };
    for (const Case& test : cases)
    {
        SCOPED_TRACE(test.name);
        SetEmulatorSettings(test.emulator);
        WriteBytes("line.csv", test.log);
        SeedChip("VT_HIDA-845E0001.bin", test.chip);
        const StationWindow& station = Start({"--start", "KV-000400"}, test.device);
        station.Click(IDC_START);
        station.WaitForPanel(test.panel);
        Snapshot(station, test.name);
        station.Close();
        EXPECT_TRUE(m_process->Ended(30000)) << "a line waiting for a unit closes at once";
        m_process.reset();
    }
}
}  // namespace
}  // namespace EndToEnd
