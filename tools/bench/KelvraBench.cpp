// Prints Kelvra's speed figures as Markdown table rows, each timing as
// min / median / max over several runs: the device list refresh, the write
// and verify operations (in process, on the real dialog with the emulated
// libraries) and, given Kelvra.exe and the bare dialog of the same build, the
// start-up of both, run alternately, and Kelvra's peak memory; given
// kelvra-cli.exe and a bare console program too, the CLI's start to the
// library's open call against the bare program's whole run, and VT-A writes
// and verifies through the CLI; and kelvra-cli line in process on scripted
// units: a unit's arrival to the library's open, the whole VT-A cycle, a
// start on a large log, and Ctrl+C to the end while a serial of the input is
// awaited;
// the same for the station's window in process, and KelvraStation.exe's start-up;
// given a PostgreSQL server in KELVRA_BENCH_LEDGER, the shared ledger's cost
// per unit, its reservations with eight stations at once, and a line's start
// on a ledger of a million events.
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "CallLog.h"
#include "CliCommands.h"
#include "DatabaseLedger.h"
#include "ImageHash.h"
#include "LedgerBook.h"
#include "DialogHarness.h"
#include "EmulatedDriverFolders.h"
#include "FakeHidPlatform.h"
#include "HidEnumeration.h"
#include "Interrupt.h"
#include "KelvraAutomation.h"
#include "ScriptedUnits.h"
#include "StationDlg.h"
#include "WorkingFolder.h"

namespace
{
class BenchApplication : public CWinApp
{
};
BenchApplication benchApplication;

double Now()
{
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void Row(const std::string& figure, const std::string& value, const std::string& goal)
{
    std::printf("| %s | %s | %s |\n", figure.c_str(), value.c_str(), goal.c_str());
    std::fflush(stdout);
}

const int Runs = 7;

struct Spread
{
    double min;
    double median;
    double max;
};

Spread SpreadOf(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    const double median = values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
    return {values.front(), median, values.back()};
}

// "min / median / max" with the unit once, in the given printf format.
std::string SpreadText(const Spread& spread, const char* format = "%.3f", const char* unit = " ms")
{
    char text[160];
    std::string pattern = std::string(format) + " / " + format + " / " + format + "%s";
    std::snprintf(text, sizeof text, pattern.c_str(), spread.min, spread.median, spread.max, unit);
    return text;
}

template <class Measure> Spread Measured(int runs, Measure measure)
{
    std::vector<double> values;
    for (int run = 0; run < runs; ++run)
    {
        values.push_back(measure());
    }
    return SpreadOf(values);
}

// Times each WM_TIMER the dialog handles: the whole operation runs inside it.
class TimedDialog : public CKelvraDlg
{
public:
    double lastTimerMilliseconds = 0;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message != WM_TIMER)
        {
            return CKelvraDlg::WindowProc(message, wParam, lParam);
        }
        const double start = Now();
        const LRESULT result = CKelvraDlg::WindowProc(message, wParam, lParam);
        lastTimerMilliseconds = Now() - start;
        return result;
    }
};

double AverageRefresh(CKelvraDlg& dialog, int rounds)
{
    const double start = Now();
    for (int round = 0; round < rounds; ++round)
    {
        dialog.RefreshDeviceList();
    }
    return (Now() - start) / rounds;
}

void BenchRefresh()
{
    WorkingFolder folder;
    folder.WriteFile(std::string(AfxGetApp()->m_pszAppName) + ".ini", "[KELVRA]\nVID=845e\nPID=0001\n");
    {
        CKelvraDlg dialog;
        DialogHarness harness(dialog);
        const Spread spread = Measured(Runs, [&] { return AverageRefresh(dialog, 10); });
        Row("Device list refresh, Wine's own HID interfaces (" + std::to_string(EnumerateHidDevices(0, nullptr)) +
                "), each run the mean of 10",
            SpreadText(spread), "");
    }
    for (size_t count : {10, 50, 100})
    {
        FakeHidPlatform platform;
        platform.interfaces.assign(count, FakeDevice(0x845E, 0x0001));
        CKelvraDlg dialog;
        dialog.DevicePlatform = &platform;
        DialogHarness harness(dialog);
        const Spread spread = Measured(Runs, [&] { return AverageRefresh(dialog, 10) * 1000 / count; });
        Row("Device list refresh through the seam, " + std::to_string(count) + " interfaces, per interface",
            SpreadText(spread, "%.1f", " us"), "linear in the interfaces");
    }
}

struct OperationFigures
{
    double total;
    double insideLibrary;
};

OperationFigures TimeOperation(TimedDialog& dialog, DialogHarness& harness, int button, const std::string& state)
{
    DeleteFileA((state + "\\calls.log").c_str());
    SendMessageA(harness.Control(IDC_MESSAGES), LB_RESETCONTENT, 0, 0);
    dialog.lastTimerMilliseconds = 0;
    harness.Click(button);
    harness.PumpUntil([&] { return dialog.lastTimerMilliseconds > 0; }, 20000);
    const auto calls = ReadCallLog(state);
    // From the open's entry to the close's entry: the library's share, less the close itself.
    const double inside = calls.size() < 2 ? 0 : (calls.back().microseconds - calls.front().microseconds) / 1000.0;
    return {dialog.lastTimerMilliseconds, inside};
}

// While it lives, the emulated libraries load in this process and keep their
// chips in the working folder's "chips".
class InProcessChips
{
public:
    explicit InProcessChips(const WorkingFolder& folder) : state(folder.PathOf("chips"))
    {
        CreateDirectoryA(state.c_str(), nullptr);
        SetEnvironmentVariableA("KELVRA_EMULATOR_DIR", state.c_str());
        SetDllDirectoryA(EmulatedDriversFolder.c_str());
    }
    ~InProcessChips()
    {
        SetDllDirectoryA(nullptr);
        SetEnvironmentVariableA("KELVRA_EMULATOR_DIR", nullptr);
    }
    InProcessChips(const InProcessChips&) = delete;
    InProcessChips& operator=(const InProcessChips&) = delete;

    const std::string state;
};

void BenchOperations()
{
    WorkingFolder folder;
    const InProcessChips chips(folder);
    const std::string& state = chips.state;
    folder.WriteFile(std::string(AfxGetApp()->m_pszAppName) + ".ini", "[KELVRA]\nVID=845e\nPID=0001\n");
    folder.WriteFile("image.hex", std::string(2048, '\x5A'));

    TimedDialog dialog;
    DialogHarness harness(dialog);
    dialog.ImagePath = folder.PathOf("image.hex").c_str();
    dialog.UpdateData(FALSE);
    const double floor = 10 + 64 * 20 + 20;
    for (int button : {IDC_WRITE, IDC_VERIFY})
    {
        std::vector<double> ratios, outside;
        for (int run = 0; run < 5; ++run)
        {
            const OperationFigures figures = TimeOperation(dialog, harness, button, state);
            ratios.push_back(figures.total / floor);
            outside.push_back(figures.total - figures.insideLibrary);
        }
        Row(std::string("VT-A ") + (button == IDC_WRITE ? "write" : "verify") +
                ", timer event to final line, as a ratio to the " + std::to_string(static_cast<int>(floor)) +
                " ms pacing floor (5 runs)",
            SpreadText(SpreadOf(ratios), "%.4f", "") +
                " (outside the library calls: " + SpreadText(SpreadOf(outside), "%.1f") + ")",
            "at most 1.015");
    }
    for (int family : {1, 2})
    {
        SendMessageA(harness.Control(IDC_CHIP_A + family), BM_CLICK, 0, 0);
        harness.Pump();
        dialog.ImagePath = folder.PathOf("image.hex").c_str();
        dialog.UpdateData(FALSE);
        for (int sizeIndex : {0, 3})
        {
            if (family == 2)
            {
                harness.SelectSize(sizeIndex);
            }
            else if (sizeIndex != 0)
            {
                continue;
            }
            const UINT size = family == 1 ? 256 : CKelvraDlg::EepromSizeTable[sizeIndex];
            for (int button : {IDC_WRITE, IDC_VERIFY})
            {
                TimeOperation(dialog, harness, button, state);  // warms the file cache
                const Spread spread = Measured(Runs,
                                               [&]
                                               {
                                                   const OperationFigures figures =
                                                       TimeOperation(dialog, harness, button, state);
                                                   return figures.total - figures.insideLibrary;
                                               });
                Row(std::string(family == 1 ? "VT-B " : "VT-C ") + (button == IDC_WRITE ? "write " : "verify ") +
                        std::to_string(size) +
                        " bytes, outside the library calls: two message-list repaints, the image file read, "
                        "the library's load, export lookup and free",
                    SpreadText(spread), "at most 2 ms");
            }
        }
    }
}

struct StartedProcess
{
    PROCESS_INFORMATION information = {};
    bool started = false;
};

StartedProcess Start(const std::string& executable, const std::string& folder, const std::string& arguments = "")
{
    StartedProcess process;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::string commandLine = "\"" + executable + "\" " + arguments;
    process.started = CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                                     &startup, &process.information) != FALSE;
    return process;
}

void Finish(StartedProcess& process)
{
    if (WaitForSingleObject(process.information.hProcess, 15000) != WAIT_OBJECT_0)
    {
        TerminateProcess(process.information.hProcess, 1);
    }
    CloseHandle(process.information.hThread);
    CloseHandle(process.information.hProcess);
}

// A top-level window of a process that shows what the program shows at start.
struct DialogSearch
{
    DWORD processId;
    bool (*shows)(HWND window);
    HWND dialog;
};

// EnumWindows' callback is stdcall on i686, which a lambda cannot convert to.
BOOL CALLBACK NoteShowingDialog(HWND window, LPARAM parameter)
{
    auto& search = *reinterpret_cast<DialogSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search.processId || !search.shows(window))
    {
        return TRUE;
    }
    search.dialog = window;
    return FALSE;
}

HWND ShowingDialog(DWORD processId, bool (*shows)(HWND window))
{
    DialogSearch search{processId, shows, nullptr};
    EnumWindows(NoteShowingDialog, reinterpret_cast<LPARAM>(&search));
    return search.dialog;
}

// Its device list (IDC_DEVICE_LIST) has an entry.
bool ShowsFilledList(HWND window)
{
    const HWND list = GetDlgItem(window, IDC_DEVICE_LIST);
    DWORD_PTR count = 0;
    return list != nullptr && SendMessageTimeoutW(list, CB_GETCOUNT, 0, 0, SMTO_NORMAL, 5000, &count) &&
           count != static_cast<DWORD_PTR>(CB_ERR) && count != 0;
}

// The station's panel has its text, and the log's rows are in its list.
bool ShowsStation(HWND window)
{
    const HWND rows = GetDlgItem(window, IDC_LOG_ROWS);
    DWORD_PTR count = 0;
    DWORD_PTR length = 0;
    return rows != nullptr && SendMessageTimeoutW(rows, LVM_GETITEMCOUNT, 0, 0, SMTO_NORMAL, 5000, &count) &&
           count != 0 &&
           SendMessageTimeoutW(GetDlgItem(window, IDC_PANEL), WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 5000, &length) &&
           length != 0;
}

struct Program
{
    std::string executable;
    std::string arguments;
    bool (*shows)(HWND window);  // its window shows what it shows at start
};

// Milliseconds from CreateProcess to the program's window showing what it
// shows at start, polled every millisecond; the program is then closed as
// its close box closes it. Negative when it did not show within 20 s.
double TimeStartToShown(const Program& program, const std::string& folder)
{
    const double start = Now();
    StartedProcess process = Start(program.executable, folder, program.arguments);
    if (!process.started)
    {
        return -1;
    }
    HWND dialog = nullptr;
    while ((dialog = ShowingDialog(process.information.dwProcessId, program.shows)) == nullptr && Now() - start < 20000)
    {
        Sleep(1);
    }
    const double elapsed = Now() - start;
    if (dialog != nullptr)
    {
        PostMessageA(dialog, WM_CLOSE, 0, 0);
    }
    Finish(process);
    return dialog != nullptr ? elapsed : -1;
}

// name: "Kelvra, start to a filled device list" and so on.
void BenchStartUp(const std::string& name, const Program& program, const std::string& bareDialogExe,
                  const WorkingFolder& folder)
{
    const Program bareDialog = {bareDialogExe, "", ShowsFilledList};
    std::vector<double> bare, measured, difference;
    // Alternate the two so a slow spell of the machine hits both alike.
    for (int run = 0; run < Runs + 1; ++run)
    {
        const double bareTime = TimeStartToShown(bareDialog, folder.Path());
        const double time = TimeStartToShown(program, folder.Path());
        if (bareTime < 0 || time < 0)
        {
            Row("Start-up", "a dialog did not show a filled list within 20 s", "");
            return;
        }
        if (run == 0)
        {
            continue;  // the first run loads the files into the cache
        }
        bare.push_back(bareTime);
        measured.push_back(time);
        difference.push_back(time - bareTime);
    }
    const std::string shortName = name.substr(0, name.find(','));
    Row("Bare dialog of the same build, start to a filled list", SpreadText(SpreadOf(bare), "%.1f"), "");
    Row(name, SpreadText(SpreadOf(measured), "%.1f"), "");
    Row(shortName + " over the bare dialog, run by run", SpreadText(SpreadOf(difference), "%.1f"),
        "median at most 50 ms");
}

void BenchWorkingSet(const WorkingFolder& folder)
{
    using namespace KelvraAutomation;
    StartedProcess kelvra = Start(folder.PathOf("Kelvra.exe"), folder.Path());
    if (!kelvra.started)
    {
        Row("Kelvra peak working set", "Kelvra.exe did not start", "");
        return;
    }
    try
    {
        KelvraWindow window = KelvraWindow::Find(kelvra.information.dwProcessId);
        window.WaitUntilReady();
        window.ChooseFamily(KelvraAutomation::ChipFamily::C);
        window.ChooseEepromSize(3);
        window.Browse(folder.PathOf("image.hex"));
        const OperationResult result = window.RunOperation(OperationKind::Write);
        PROCESS_MEMORY_COUNTERS counters = {};
        counters.cb = sizeof counters;
        GetProcessMemoryInfo(kelvra.information.hProcess, &counters, sizeof counters);
        Row("Kelvra peak working set during a VT-C write of 2048 bytes (" + result.finalLine + ")",
            std::to_string(counters.PeakWorkingSetSize / 1024) + " KiB", "");
        window.PressExit();
    }
    catch (const std::exception& failure)
    {
        Row("Kelvra driven from outside", std::string("failed: ") + failure.what(), "");
        TerminateProcess(kelvra.information.hProcess, 1);
    }
    Finish(kelvra);
}

void BenchProcess(const std::string& kelvraExe, const std::string& bareDialogExe)
{
    WorkingFolder folder;
    for (const char* library : {"VT_HIDA.dll", "VT_HIDB.dll", "VT_HIDC.dll"})
    {
        CopyFileA((EmulatedDriversFolder + "\\" + library).c_str(), folder.PathOf(library).c_str(), FALSE);
    }
    CopyFileA(kelvraExe.c_str(), folder.PathOf("Kelvra.exe").c_str(), FALSE);
    folder.WriteFile("Kelvra.ini", "[KELVRA]\nVID=845e\nPID=0001\n");
    folder.WriteFile("image.hex", std::string(2048, '\x3C'));
    SetEnvironmentVariableA("KELVRA_EMULATOR_DIR", folder.PathOf("chips").c_str());
    BenchStartUp("Kelvra, start to a filled device list", {folder.PathOf("Kelvra.exe"), "", ShowsFilledList},
                 bareDialogExe, folder);
    BenchWorkingSet(folder);
    SetEnvironmentVariableA("KELVRA_EMULATOR_DIR", nullptr);
}
// Milliseconds from CreateProcess to the end of a console program run in
// folder, or -1 when it did not end within 20 s.
double TimeToExit(const std::string& commandLine, const std::string& folder, DWORD& exitCode)
{
    const double start = Now();
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION information = {};
    std::string line = commandLine;
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, folder.c_str(), &startup,
                        &information))
    {
        return -1;
    }
    const bool ended = WaitForSingleObject(information.hProcess, 20000) == WAIT_OBJECT_0;
    const double elapsed = Now() - start;
    if (!ended)
    {
        TerminateProcess(information.hProcess, 1);
    }
    GetExitCodeProcess(information.hProcess, &exitCode);
    CloseHandle(information.hThread);
    CloseHandle(information.hProcess);
    return ended ? elapsed : -1;
}

// From CreateProcess to the entry of the first library call, the open, by the
// clock calls.log keeps for every process of the machine.
double TimeCliToOpen(const std::string& cliExe, const WorkingFolder& folder, const std::string& state)
{
    DeleteFileA((state + "\\calls.log").c_str());
    DWORD exitCode = 0;
    const double start = Now();
    if (TimeToExit("\"" + cliExe + "\" verify image.hex --family B --device 845e:0001 --quiet", folder.Path(),
                   exitCode) < 0 ||
        exitCode != 0)
    {
        return -1;
    }
    const auto calls = ReadCallLog(state);
    return calls.empty() ? -1 : calls.front().microseconds / 1000.0 - start;
}

void BenchCli(const std::string& cliExe, const std::string& bareConsoleExe)
{
    WorkingFolder folder;
    const std::string state = folder.PathOf("chips");
    CreateDirectoryA(state.c_str(), nullptr);
    SetEnvironmentVariableA("KELVRA_EMULATOR_DIR", state.c_str());
    char path[32768] = {};
    GetEnvironmentVariableA("PATH", path, sizeof path);
    SetEnvironmentVariableA("PATH", (EmulatedDriversFolder + ";" + path).c_str());
    folder.WriteFile("image.hex", std::string(256, '\x5A'));
    folder.WriteFile("identity.hex", std::string(128, '\x67'));
    DWORD exitCode = 0;
    TimeToExit("\"" + cliExe + "\" write image.hex --family B --device 845e:0001 --quiet", folder.Path(), exitCode);

    std::vector<double> bare, cli, difference;
    // Alternate the two so a slow spell of the machine hits both alike; the
    // first run of each loads the files into the cache.
    for (int run = 0; run < Runs + 1; ++run)
    {
        const double bareTime = TimeToExit("\"" + bareConsoleExe + "\"", folder.Path(), exitCode);
        const double cliTime = TimeCliToOpen(cliExe, folder, state);
        if (bareTime < 0 || cliTime < 0)
        {
            Row("kelvra-cli start-up", "a run failed", "");
            return;
        }
        if (run == 0)
        {
            continue;
        }
        bare.push_back(bareTime);
        cli.push_back(cliTime);
        difference.push_back(cliTime - bareTime);
    }
    Row("Bare console program of the same build, start to its end", SpreadText(SpreadOf(bare), "%.1f"), "");
    Row("kelvra-cli verify, start to the library's open call", SpreadText(SpreadOf(cli), "%.1f"), "");
    Row("kelvra-cli to the open over the bare console program, run by run", SpreadText(SpreadOf(difference), "%.1f"),
        "");

    const double floor = 10 + 64 * 20 + 20;
    for (const char* command : {"write", "verify"})
    {
        std::vector<double> ratios, fromOpen;
        for (int run = 0; run < 5; ++run)
        {
            DeleteFileA((state + "\\calls.log").c_str());
            const double start = Now();
            const double elapsed =
                TimeToExit("\"" + cliExe + "\" " + command + " identity.hex --family A --device 845e:0001 --quiet",
                           folder.Path(), exitCode);
            const auto calls = ReadCallLog(state);
            if (elapsed < 0 || exitCode != 0 || calls.empty())
            {
                Row(std::string("kelvra-cli VT-A ") + command, "a run failed", "");
                return;
            }
            ratios.push_back(elapsed / floor);
            fromOpen.push_back((start + elapsed - calls.front().microseconds / 1000.0) / floor);
        }
        Row(std::string("kelvra-cli VT-A ") + command + ", process start to end, as a ratio to the " +
                std::to_string(static_cast<int>(floor)) + " ms pacing floor (5 runs)",
            SpreadText(SpreadOf(ratios), "%.4f", "") +
                " (from the open call to the end: " + SpreadText(SpreadOf(fromOpen), "%.4f", "") + ")",
            "");
    }
    SetEnvironmentVariableA("PATH", path);
    SetEnvironmentVariableA("KELVRA_EMULATOR_DIR", nullptr);
}
class SilentConsole final : public Console
{
public:
    void Out(const std::string&) override {}
    void Err(const std::string&) override {}
    bool ErrIsConsole() const override { return false; }
};

// A line's figures, so that kelvra-cli's and the station's compare: each
// unit's arrival to the next open call in the library's log, and arrival to
// the removal it waits for.
void LineFigures(const std::string& program, const std::string& state, int units,
                 const std::vector<long long>& arrivals, const std::vector<long long>& removals)
{
    std::vector<long long> opens;
    for (const LoggedCall& call : ReadCallLog(state))
    {
        if (call.function == "StartDeviceDetection")
        {
            opens.push_back(call.microseconds);
        }
    }
    std::vector<double> toOpen, cycles;
    for (size_t unit = 0; unit < arrivals.size() && unit < removals.size(); ++unit)
    {
        const long long arrival = arrivals[unit];
        const auto open = std::upper_bound(opens.begin(), opens.end(), arrival);
        if (open != opens.end())
        {
            toOpen.push_back((*open - arrival) / 1000.0);
        }
        cycles.push_back((removals[unit] - arrival) / 1000.0 / (2 * 1310.0));
    }
    if (toOpen.size() != static_cast<size_t>(units) || cycles.size() != static_cast<size_t>(units))
    {
        Row(program, "a unit did not pass through the line", "");
        return;
    }
    Row(program + ": a unit's arrival notification to the library's open call, after its reservation row (" +
            std::to_string(units) + " units)",
        SpreadText(SpreadOf(toOpen), "%.1f"), "");
    Row(program +
            ": whole VT-A unit, arrival to the removal it waits for (reservation, write, verify, log row), as a "
            "ratio to 2 x 1310 ms (" +
            std::to_string(units) + " units)",
        SpreadText(SpreadOf(cycles), "%.4f", ""), "at most 1.03");
}

// A working folder with a VT-A base image, and the emulated libraries found
// and keeping their chips in it, for as long as it lives.
struct LineBenchFolder
{
    LineBenchFolder()
    {
        CreateDirectoryA(state.c_str(), nullptr);
        SetEnvironmentVariableA("KELVRA_EMULATOR_DIR", state.c_str());
        SetDllDirectoryA(EmulatedDriversFolder.c_str());
        folder.WriteFile("base.hex", std::string(1, '\0') + std::string(127, '\x67'));
    }
    ~LineBenchFolder()
    {
        SetDllDirectoryA(nullptr);
        SetEnvironmentVariableA("KELVRA_EMULATOR_DIR", nullptr);
    }

    WorkingFolder folder;
    const std::string state = folder.PathOf("chips");
};

void BenchLine()
{
    const LineBenchFolder bench;
    const WorkingFolder& folder = bench.folder;
    const int units = 5;
    ScriptedUnits scripted(units);
    scripted.afterLast = []
    {
        RequestInterrupt();
    };
    SilentConsole console;
    ClearInterrupt();
    // Ends with Ctrl+C once every unit was programmed and pulled out.
    RunKelvraCli({"line", folder.PathOf("base.hex"), "--family", "A", "--start", "B-0001", "--log",
                  folder.PathOf("line.csv"), "--device", "845e:0001", "--quiet"},
                 console, scripted);
    ClearInterrupt();
    LineFigures("kelvra-cli line", bench.state, units, scripted.arrivals, scripted.removals);
}

// Standard input that stays open and gives nothing, as a scanner nobody uses.
class IdleInput final : public Console
{
public:
    IdleInput()
        : m_reading(CreateEventW(nullptr, TRUE, FALSE, nullptr)), m_closed(CreateEventW(nullptr, TRUE, FALSE, nullptr))
    {
    }
    ~IdleInput() override
    {
        CloseHandle(m_reading);
        CloseHandle(m_closed);
    }
    void Out(const std::string&) override {}
    void Err(const std::string&) override {}
    bool ErrIsConsole() const override { return false; }
    bool InLine(std::string&) override
    {
        SetEvent(m_reading);
        WaitForSingleObject(m_closed, 10000);
        return false;
    }
    bool AwaitRead() const { return WaitForSingleObject(m_reading, 10000) == WAIT_OBJECT_0; }
    void Close() const { SetEvent(m_closed); }

private:
    HANDLE m_reading;
    HANDLE m_closed;
};

void BenchInterruptedSerialWait()
{
    const LineBenchFolder bench;
    std::vector<double> delays;
    for (int run = 0; run < Runs; ++run)
    {
        IdleInput input;
        ScriptedUnits scripted(1);
        ClearInterrupt();
        double pressed = 0;
        std::thread operatorAtTheKeyboard(
            [&]
            {
                input.AwaitRead();
                pressed = Now();
                RequestInterrupt();
            });
        const int status =
            RunKelvraCli({"line", bench.folder.PathOf("base.hex"), "--family", "A", "--serials-from-input", "--log",
                          bench.folder.PathOf("line.csv"), "--device", "845e:0001", "--quiet"},
                         input, scripted);
        const double ended = Now();
        operatorAtTheKeyboard.join();
        input.Close();
        if (status != 10)
        {
            Row("kelvra-cli line --serials-from-input, Ctrl+C", "the line did not end as interrupted", "");
            return;
        }
        delays.push_back(ended - pressed);
    }
    ClearInterrupt();
    Row("kelvra-cli line --serials-from-input: Ctrl+C while the next serial is awaited, to the line's end",
        SpreadText(SpreadOf(delays), "%.2f"), "at once");
}

// A log of 100,000 rows: 25,000 serials reserved and passed, and 50,000
// reserved without a result, the serials ascending or descending.
std::string LargeLog(bool descending)
{
    std::string log = "time,serial,device,result,first_difference,detail\r\n";
    for (int index = 1; index <= 75000; ++index)
    {
        const int unit = descending ? 75001 - index : index;
        char serial[16];
        std::snprintf(serial, sizeof serial, "B-%06d", unit);
        const std::string row = std::string("2026-12-08T07:10:55+00:00,") + serial + ",VID_845e&PID_0001,";
        log += row + "RESERVED,,\r\n";
        if (unit <= 25000)
        {
            log += row + "PASS,,\r\n";
        }
    }
    return log;
}

// kelvra-cli line from its command to its first wait for a unit, which a
// Ctrl+C already given ends: the log read, accounted for and its open
// reservations made void.
void BenchLineStart()
{
    const LineBenchFolder bench;
    const WorkingFolder& folder = bench.folder;
    for (bool descending : {false, true})
    {
        const std::string log = LargeLog(descending);
        ScriptedUnits none(0);
        SilentConsole console;
        int status = 0;
        bool voided = true;
        const Spread spread = Measured(5,
                                       [&]
                                       {
                                           folder.WriteFile("line.csv", log);
                                           RequestInterrupt();
                                           const double start = Now();
                                           status = RunKelvraCli({"line", folder.PathOf("base.hex"), "--family", "A",
                                                                  "--start", "B-000001", "--log",
                                                                  folder.PathOf("line.csv"), "--device", "845e:0001"},
                                                                 console, none);
                                           const double elapsed = Now() - start;
                                           voided = voided && folder.ReadFile("line.csv").size() > log.size();
                                           return elapsed;
                                       });
        ClearInterrupt();
        Row(std::string("kelvra-cli line: a start on a 100,000-row log that makes its 50,000 open reservations void, "
                        "serials ") +
                (descending ? "descending" : "ascending"),
            status == 10 && voided ? SpreadText(spread, "%.0f")
                                   : "the start failed (status " + std::to_string(status) + ")",
            "");
    }
}

// The station's window in process, on units scripted through the device
// platform: each is plugged in when the panel asks for a unit and pulled out
// when it shows the result, with the notification Windows would send.
struct ModelessStation : CDialog
{
    static bool Create(CDialog& dialog)
    {
        return CreateDialogParamA(AfxGetResourceHandle(), dialog.m_lpszTemplateName, nullptr, &CDialog::DialogProc,
                                  reinterpret_cast<LPARAM>(&dialog)) != nullptr;
    }
};

void NotifyDevice(HWND window, WPARAM event)
{
    DEV_BROADCAST_DEVICEINTERFACE_A record = MakeDeviceInterfaceRecord(HidInterfaceClass, DBT_DEVTYP_DEVICEINTERFACE);
    SendMessageA(window, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(&record));
}

void BenchStationLine()
{
    const LineBenchFolder bench;
    const int units = 5;
    StationSetup setup;
    const std::string problem = ReadSetup({"base.hex", "--family", "A", "--device", "845e:0001", "--log", "line.csv",
                                           "--start", "B-0001", "--count", std::to_string(units)},
                                          setup);
    FakeHidPlatform platform;
    CStationDlg dialog(setup, problem);
    dialog.DevicePlatform = &platform;
    std::vector<long long> arrivals, removals;
    if (problem.empty() && ModelessStation::Create(dialog))
    {
        const HWND window = dialog.m_hWnd;
        const StationPanel& panel = dialog.Panel();
        SendMessageA(GetDlgItem(window, IDC_START), BM_CLICK, 0, 0);
        for (int unit = 0; unit < units; ++unit)
        {
            if (!PumpMessagesUntil(
                    window, [&] { return panel.State() == PanelState::AttachUnit; }, 20000))
            {
                break;
            }
            platform.interfaces = {FakeDevice(0x845E, 0x0001)};
            arrivals.push_back(MicrosecondsNow());
            NotifyDevice(window, DBT_DEVICEARRIVAL);
            if (!PumpMessagesUntil(
                    window, [&] { return panel.State() == PanelState::Pass; }, 20000))
            {
                break;
            }
            removals.push_back(MicrosecondsNow());
            platform.interfaces.clear();
            NotifyDevice(window, DBT_DEVICEREMOVECOMPLETE);
        }
        PumpMessagesUntil(
            window, [&] { return IsWindowEnabled(GetDlgItem(window, IDC_START)) != FALSE; }, 20000);
        DestroyWindow(window);
    }
    LineFigures("KelvraStation", bench.state, units, arrivals, removals);
}

// KelvraStation.exe set up on a log of a few rows, beside the bare dialog.
void BenchStationStartUp(const std::string& stationExe, const std::string& bareDialogExe)
{
    WorkingFolder folder;
    CopyFileA(stationExe.c_str(), folder.PathOf("KelvraStation.exe").c_str(), FALSE);
    folder.WriteFile("base.hex", std::string(1, '\0') + std::string(127, '\x67'));
    folder.WriteFile("line.csv", "time,serial,device,result,first_difference,detail\r\n"
                                 "2026-12-07T10:30:12+01:00,KV-000100,VID_845e&PID_0001,RESERVED,,\r\n"
                                 "2026-12-07T10:30:15+01:00,KV-000100,VID_845e&PID_0001,PASS,,\r\n");
    BenchStartUp("KelvraStation, start to its panel's text and the log's rows in its list",
                 {folder.PathOf("KelvraStation.exe"),
                  "base.hex --family A --device 845e:0001 --log line.csv --start KV-000100", ShowsStation},
                 bareDialogExe, folder);
}

// A unit's reservation and result through a ledger, as the line makes them;
// milliseconds.
double TimedUnit(Ledger& ledger, std::string unit)
{
    const double start = Now();
    ledger.Reserve(unit, "VID_845e&PID_0001", false);
    UnitReport report{unit, "VID_845e&PID_0001", UnitFault::None, "", "written, read back and compared"};
    ledger.Record(report, PassResult);
    return Now() - start;
}

SeriesDefinition BenchSeries(const std::string& connection, const std::string& name, std::uint64_t count)
{
    SeriesDefinition series{name, ChipFamily::A, 128, Sha256Hex(std::vector<BYTE>(128, 0)), {"B-", 0, 8}, count};
    LedgerBook book(connection, "");
    bool same = false;
    std::string done;
    book.Connect(false);
    book.Init(done);
    book.DefineSeries(series, same);
    return series;
}

// The ledger's own cost: each unit's reservation and result, on the CSV log
// and on the database, without any transfer.
void BenchLedgerCost(const std::string& connection)
{
    const int units = 300;
    const SeriesDefinition series = BenchSeries(connection, "cost", 1000000);
    const WorkingFolder folder;
    LineSetup setup;
    setup.series = series.form;
    const std::vector<wchar_t> log = WideFromUtf8(folder.PathOf("line.csv"));
    setup.logFile = log.data();
    const UnitNaming naming(ChipFamily::A, series.form);
    CsvLedger csv(setup, naming);
    DatabaseLedger database({connection, "", "cost", "bench", false, 20000});
    std::vector<UnitReport> voided;
    csv.Open(voided);
    database.Connect();
    database.Open(voided);
    std::vector<double> onLog, onDatabase;
    for (int unit = 0; unit < units; ++unit)
    {
        onLog.push_back(TimedUnit(csv, ""));
        onDatabase.push_back(TimedUnit(database, ""));
    }
    const Spread onCsv = SpreadOf(onLog);
    const Spread shared = SpreadOf(onDatabase);
    Row("Ledger: a unit's reservation and result on the CSV log (" + std::to_string(units) + " units)",
        SpreadText(onCsv), "");
    Row("Ledger: a unit's reservation and result on PostgreSQL through ODBC (" + std::to_string(units) + " units)",
        SpreadText(shared), "");
    char difference[64];
    std::snprintf(difference, sizeof difference, "%.3f ms", shared.median - onCsv.median);
    Row("Ledger: the database's cost per unit over the CSV log's, medians", difference, "at most 5 ms");
}

// Eight stations reserving at once, each on its own connection.
void BenchReservations(const std::string& connection)
{
    const int stations = 8;
    const int units = 100;
    BenchSeries(connection, "eight", 1000000);
    std::vector<std::vector<double>> latencies(stations);
    std::vector<std::thread> threads;
    for (int station = 0; station < stations; ++station)
    {
        threads.emplace_back(
            [&, station]
            {
                DatabaseLedger ledger({connection, "", "eight", "S" + std::to_string(station), false, 20000});
                std::vector<UnitReport> voided;
                ledger.Connect();
                ledger.Open(voided);
                for (int unit = 0; unit < units; ++unit)
                {
                    std::string serial;
                    const double start = Now();
                    ledger.Reserve(serial, "VID_845e&PID_0001", false);
                    latencies[station].push_back(Now() - start);
                    ledger.Record({serial, "VID_845e&PID_0001", UnitFault::None, "", ""}, PassResult);
                }
            });
    }
    std::vector<double> all;
    for (int station = 0; station < stations; ++station)
    {
        threads[station].join();
        all.insert(all.end(), latencies[station].begin(), latencies[station].end());
    }
    std::sort(all.begin(), all.end());
    char p99[64];
    std::snprintf(p99, sizeof p99, "%.3f ms (median %.3f, max %.3f)", all[all.size() * 99 / 100], all[all.size() / 2],
                  all.back());
    Row("Ledger: reservation latency with 8 stations at once, p99 (" + std::to_string(all.size()) + " reservations)",
        p99, "at most 20 ms");
}

// A line's start, connect to open, on a ledger of a million generated events
// (half a million serials, each reserved and passed, on eight stations).
void BenchLargeLedgerStart(const std::string& connection)
{
    BenchSeries(connection, "large", 600000);
    OdbcConnection database;
    database.Connect(connection);
    database.Run("INSERT INTO kelvra_claims (series, number, serial, station) SELECT 'large', n, 'B-' ||"
                 " lpad(n::text, 8, '0'), 'S' || (n % 8) FROM generate_series(0, 499999) n",
                 {});
    database.Run("INSERT INTO kelvra_events (series, serial, station, device, result, first_difference, detail, time)"
                 " SELECT series, serial, station, 'VID_845e&PID_0001', result, '', '', '2026-12-08T08:00:00+00:00'"
                 " FROM kelvra_claims, (VALUES ('RESERVED'), ('PASS')) AS r (result) WHERE series = 'large'"
                 " ORDER BY number, result DESC",
                 {});
    database.Commit();
    database.Run("ANALYZE", {});
    database.Commit();
    const Spread spread = Measured(Runs,
                                   [&]
                                   {
                                       const double start = Now();
                                       DatabaseLedger ledger({connection, "", "large", "S3", false, 20000});
                                       std::vector<UnitReport> voided;
                                       ledger.Connect();
                                       ledger.Open(voided);
                                       return Now() - start;
                                   });
    Row("Ledger: a line's start, connect to open, on a ledger of 1,000,000 events", SpreadText(spread, "%.1f"),
        "at most 1 s");
}
}  // namespace

int main(int argc, char** argv)
{
    AfxWinInit(GetModuleHandleA(nullptr), nullptr, GetCommandLineA(), SW_SHOWNORMAL);
    BenchRefresh();
    BenchOperations();
    BenchLine();
    BenchLineStart();
    BenchInterruptedSerialWait();
    BenchStationLine();
    if (argc >= 3)
    {
        BenchProcess(argv[1], argv[2]);
    }
    if (argc >= 5)
    {
        BenchCli(argv[3], argv[4]);
    }
    if (argc >= 6)
    {
        BenchStationStartUp(argv[5], argv[2]);
    }
    const char* const ledger = std::getenv("KELVRA_BENCH_LEDGER");
    if (ledger != nullptr && *ledger != '\0')
    {
        BenchLedgerCost(ledger);
        BenchReservations(ledger);
        BenchLargeLedgerStart(ledger);
    }
    return 0;
}
