// Prints Kelvra's speed figures as Markdown table rows: the device list
// refresh, the write and verify operations (in process, on the real dialog
// with the emulated libraries) and, given Kelvra.exe, its start-up and peak
// memory (driven from outside with the automation library).
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "CallLog.h"
#include "DialogHarness.h"
#include "EmulatedDriverFolders.h"
#include "FakeHidPlatform.h"
#include "HidEnumeration.h"
#include "KelvraAutomation.h"
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

std::string Milliseconds(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.3f ms", value);
    return text;
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
            return CKelvraDlg::WindowProc(message, wParam, lParam);
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
        dialog.RefreshDeviceList();
    return (Now() - start) / rounds;
}

void BenchRefresh()
{
    WorkingFolder folder;
    folder.WriteFile(std::string(AfxGetApp()->m_pszAppName) + ".ini", "[KELVRA]\nVID=845e\nPID=0001\n");
    {
        CKelvraDlg dialog;
        DialogHarness harness(dialog);
        Row("Device list refresh, Wine's own HID interfaces (" + std::to_string(EnumerateHidDevices(0, nullptr)) + ")",
            Milliseconds(AverageRefresh(dialog, 50)), "");
    }
    for (size_t count : {10, 50, 100})
    {
        FakeHidPlatform platform;
        platform.interfaces.assign(count, FakeDevice(0x845E, 0x0001));
        CKelvraDlg dialog;
        dialog.DevicePlatform = &platform;
        DialogHarness harness(dialog);
        const double perRefresh = AverageRefresh(dialog, 50);
        Row("Device list refresh, " + std::to_string(count) + " interfaces through the seam",
            Milliseconds(perRefresh) + " (" + Milliseconds(perRefresh / count) + " per interface)",
            "linear in the interfaces");
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

void BenchOperations()
{
    WorkingFolder folder;
    const std::string state = folder.PathOf("chips");
    CreateDirectoryA(state.c_str(), nullptr);
    SetEnvironmentVariableA("KELVRA_EMULATOR_DIR", state.c_str());
    SetDllDirectoryA(EmulatedDriversFolder.c_str());
    folder.WriteFile(std::string(AfxGetApp()->m_pszAppName) + ".ini", "[KELVRA]\nVID=845e\nPID=0001\n");
    folder.WriteFile("image.hex", std::string(2048, '\x5A'));

    TimedDialog dialog;
    DialogHarness harness(dialog);
    dialog.ImagePath = folder.PathOf("image.hex").c_str();
    dialog.UpdateData(FALSE);
    const double floor = 10 + 64 * 20 + 20;
    for (int button : {IDC_WRITE, IDC_VERIFY})
    {
        const OperationFigures figures = TimeOperation(dialog, harness, button, state);
        char ratio[128];
        std::snprintf(ratio, sizeof ratio, "%.1f ms, %.4f of the %.0f ms pacing floor (%.1f ms outside library calls)",
                      figures.total, figures.total / floor, floor, figures.total - figures.insideLibrary);
        Row(std::string("VT-A ") + (button == IDC_WRITE ? "write" : "verify") + ", timer event to final line", ratio,
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
                harness.SelectSize(sizeIndex);
            else if (sizeIndex != 0)
                continue;
            const UINT size = family == 1 ? 256 : CKelvraDlg::EepromSizeTable[sizeIndex];
            for (int button : {IDC_WRITE, IDC_VERIFY})
            {
                // The first round warms the file cache; the best of five is reported.
                double best = 1e9;
                for (int round = 0; round < 5; ++round)
                {
                    const OperationFigures figures = TimeOperation(dialog, harness, button, state);
                    best = std::min(best, figures.total - figures.insideLibrary);
                }
                Row(std::string(family == 1 ? "VT-B " : "VT-C ") + (button == IDC_WRITE ? "write " : "verify ") +
                        std::to_string(size) + " bytes, time outside the library calls",
                    Milliseconds(best), "at most 2 ms");
            }
        }
    }
    SetDllDirectoryA(nullptr);
}

struct StartedProcess
{
    PROCESS_INFORMATION information = {};
    bool started = false;
};

StartedProcess Start(const std::string& executable, const std::string& folder)
{
    StartedProcess process;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::string commandLine = "\"" + executable + "\"";
    process.started = CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                                     &startup, &process.information) != FALSE;
    return process;
}

void Finish(StartedProcess& process)
{
    if (WaitForSingleObject(process.information.hProcess, 15000) != WAIT_OBJECT_0)
        TerminateProcess(process.information.hProcess, 1);
    CloseHandle(process.information.hThread);
    CloseHandle(process.information.hProcess);
}

void BenchProcess(const std::string& kelvraExe, const std::string& minimalExe)
{
    using namespace KelvraAutomation;
    WorkingFolder folder;
    for (const char* library : {"VT_HIDA.dll", "VT_HIDB.dll", "VT_HIDC.dll"})
        CopyFileA((EmulatedDriversFolder + "\\" + library).c_str(), folder.PathOf(library).c_str(), FALSE);
    CopyFileA(kelvraExe.c_str(), folder.PathOf("Kelvra.exe").c_str(), FALSE);
    folder.WriteFile("Kelvra.ini", "[KELVRA]\nVID=845e\nPID=0001\n");
    folder.WriteFile("image.hex", std::string(2048, '\x3C'));
    SetEnvironmentVariableA("KELVRA_EMULATOR_DIR", folder.PathOf("chips").c_str());

    double minimalBest = 1e9;
    for (int round = 0; round < 3; ++round)
    {
        const double start = Now();
        StartedProcess minimal = Start(minimalExe, folder.Path());
        if (minimal.started)
            Finish(minimal);
        minimalBest = std::min(minimalBest, Now() - start);
    }

    const double start = Now();
    StartedProcess kelvra = Start(folder.PathOf("Kelvra.exe"), folder.Path());
    if (!kelvra.started)
    {
        Row("Kelvra start-up", "Kelvra.exe did not start", "");
        return;
    }
    try
    {
        KelvraWindow window = KelvraWindow::Find(kelvra.information.dwProcessId);
        window.WaitUntilReady();
        while (window.Devices().entries.empty() && Now() - start < 20000)
            Sleep(5);
        const double ready = Now() - start;
        Row("Start to dialog ready (device list filled), against a minimal program's start",
            Milliseconds(ready) + " against " + Milliseconds(minimalBest), "");

        window.ChooseFamily(ChipFamily::C);
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
    SetEnvironmentVariableA("KELVRA_EMULATOR_DIR", nullptr);
}
}  // namespace

int main(int argc, char** argv)
{
    AfxWinInit(GetModuleHandleA(nullptr), nullptr, GetCommandLineA(), SW_SHOWNORMAL);
    BenchRefresh();
    BenchOperations();
    if (argc >= 3)
        BenchProcess(argv[1], argv[2]);
    return 0;
}
