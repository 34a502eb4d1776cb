// kelvra-cli.exe line run as an operator starts it, on Wine's device
// 845e/0001, which is always attached: one unit per run, each a fresh chip,
// the second run on the same log going on with the next serial.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>

#include "ChildProcess.h"
#include "EmulatedDriverFolders.h"
#include "Family0Image.h"
#include "WorkingFolder.h"

namespace
{
// The program in folder, with the emulated libraries on PATH; whileRunning
// and input as RunProcess takes them.
ProcessRun RunCli(const WorkingFolder& folder, const std::vector<std::string>& arguments,
                  const std::function<void()>& whileRunning = nullptr, HANDLE input = nullptr)
{
    char path[32768];
    const DWORD length = GetEnvironmentVariableA("PATH", path, sizeof path);
    const std::string previousPath(path, length < sizeof path ? length : 0);
    SetEnvironmentVariableA("PATH", (EmulatedDriversFolder + ";" + previousPath).c_str());
    ProcessRun run;
    try
    {
        run = RunProcess(KELVRA_CLI_PROGRAM, arguments, folder.Path(), std::string(), whileRunning, 30000, input);
    }
    catch (const std::exception& failure)
    {
        ADD_FAILURE() << failure.what();
    }
    SetEnvironmentVariableA("PATH", previousPath.c_str());
    return run;
}

std::string SerialIn(const std::string& chip)
{
    if (chip.size() < Family0Image::ImageSize)
    {
        return "<no chip>";
    }
    return Family0Image::FieldCharacters(reinterpret_cast<const std::uint8_t*>(chip.data()),
                                         Family0Image::SerialNumberField);
}
}  // namespace

TEST(LineProgram, ProgramsOneUnitPerRunAndGoesOnWithTheNextSerial)
{
    WorkingFolder folder;
    const std::string stateFolder = folder.PathOf("chips");
    SetEnvironmentVariableA("KELVRA_EMULATOR_DIR", stateFolder.c_str());
    Family0Image::Image base{};
    base[1] = 0x67;
    folder.WriteFile("base.hex", std::string(base.begin(), base.end()));
    folder.WriteFile("Kelvra.ini", "[KELVRA]\r\nVID=845e\r\nPID=0001\r\n");
    const std::vector<std::string> command = {"line",         "base.hex", "--family", "A",        "--start", "SN9998",
                                              "--stop-after", "1",        "--log",    "line.csv", "--quiet"};
    const char* const serials[] = {"SN9998", "SN9999"};
    std::string rows = "time,serial,device,result,first_difference,detail\r\n";
    for (const char* serial : serials)
    {
        SCOPED_TRACE(serial);
        // Another unit, erased: one that passed would be asked to be removed.
        DeleteFileA(folder.PathOf("chips\\VT_HIDA-845E0001.bin").c_str());
        const ProcessRun run = RunCli(folder, command);
        EXPECT_EQ(run.exitCode, 0u);
        EXPECT_EQ(run.out, std::string("PASS  ") + serial + "  VID_845e&PID_0001\n") << "--quiet: no summary";
        EXPECT_EQ(SerialIn(folder.ReadFile("chips\\VT_HIDA-845E0001.bin")), serial);
        const std::string log = folder.ReadFile("line.csv");
        ASSERT_GT(log.size(), rows.size());
        EXPECT_EQ(log.substr(0, rows.size()), rows);
        // Each row 2026-12-07T10:30:12+01:00 and the rest: the serial reserved, then its result.
        const std::string reserved = log.substr(rows.size(), log.find('\n', rows.size()) + 1 - rows.size());
        const std::string passed = log.substr(rows.size() + reserved.size());
        EXPECT_EQ(reserved[10], 'T');
        EXPECT_EQ(reserved.substr(25), std::string(",") + serial + ",VID_845e&PID_0001,RESERVED,,\r\n");
        EXPECT_EQ(passed.substr(25), std::string(",") + serial + ",VID_845e&PID_0001,PASS,,\r\n");
        EXPECT_EQ(passed.size(), reserved.size() - 4) << passed;
        rows = log;
    }
    // SN9999 was the series' last serial: the next run says so and changes nothing.
    const ProcessRun exhausted = RunCli(folder, command);
    EXPECT_EQ(exhausted.exitCode, 2u);
    EXPECT_EQ(folder.ReadFile("line.csv"), rows);
    SetEnvironmentVariableA("KELVRA_EMULATOR_DIR", nullptr);
}

TEST(LineProgram, CtrlCEndsTheWaitForTheNextSerialAtOnceWhileTheInputStaysOpen)
{
    struct Case
    {
        const char* name;
        bool console;
    };
    const Case cases[] = {{"a pipe", false}, {"a console", true}};
    for (const Case& test : cases)
    {
        SCOPED_TRACE(test.name);
        WorkingFolder folder;
        const std::string calls = folder.PathOf("chips\\calls.log");
        SetEnvironmentVariableA("KELVRA_EMULATOR_DIR", folder.PathOf("chips").c_str());
        folder.WriteFile("base.hex", std::string(1, '\0') + "\x67" + std::string(126, '\0'));
        folder.WriteFile("Kelvra.ini", "[KELVRA]\r\nVID=845e\r\nPID=0001\r\n");
        HANDLE input = nullptr;
        HANDLE inputEnd = nullptr;
        SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
        if (test.console)
        {
            input = SharedConsoleInput();
        }
        else
        {
            ASSERT_TRUE(CreatePipe(&input, &inputEnd, &inheritable, 0));
            SetHandleInformation(inputEnd, HANDLE_FLAG_INHERIT, 0);
        }
        ASSERT_NE(input, INVALID_HANDLE_VALUE);
        bool pressed = false;
        // Once the attached unit was read, the line waits for a serial that never comes.
        const auto pressOnceRead = [&]
        {
            const DWORD start = GetTickCount();
            std::string log;
            while (log.find("CloseDevice") == std::string::npos && GetTickCount() - start < 20000)
            {
                Sleep(10);
                std::ifstream file(calls, std::ios::binary);
                log.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
            }
            pressed = PressCtrlC();
        };
        const ProcessRun run =
            RunCli(folder, {"line", "base.hex", "--family", "A", "--serials-from-input", "--log", "line.csv"},
                   pressOnceRead, input);
        CloseHandle(input);
        if (inputEnd != nullptr)
        {
            CloseHandle(inputEnd);
        }
        EXPECT_TRUE(pressed);
        EXPECT_EQ(run.exitCode, 10u) << run.err;
        EXPECT_NE(run.err.find("ended with Ctrl+C between units"), std::string::npos) << run.err;
        EXPECT_EQ(run.out.find("PASS"), std::string::npos) << run.out;
        EXPECT_EQ(folder.ReadFile("line.csv"), "time,serial,device,result,first_difference,detail\r\n");
    }
    SetEnvironmentVariableA("KELVRA_EMULATOR_DIR", nullptr);
}
