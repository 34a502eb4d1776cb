// The production line run in process: units scripted through the device
// platform, written and verified by the emulated VT_HIDA.dll and VT_HIDB.dll
// on Wine's device 845e/0001, the log and the chip read back after each unit.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "CliCommands.h"
#include "EmulatedDriverFolders.h"
#include "Family0Image.h"
#include "Interrupt.h"
#include "LineLog.h"
#include "ScriptedUnits.h"
#include "WorkingFolder.h"

namespace
{
class RecordingConsole final : public Console
{
public:
    void Out(const std::string& text) override { out += text; }
    void Err(const std::string& text) override { err += text; }
    bool ErrIsConsole() const override { return false; }

    std::string out;
    std::string err;
};

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

    int Line(ScriptedUnits& units, std::vector<std::string> options)
    {
        console = RecordingConsole();
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
    EXPECT_EQ(serialsAtRemoval, (Rows{"KV-000100", "KV-000101", "KV-000101"}));
    EXPECT_EQ(ChipSerial(), "KV-000102") << "the last unit is not waited for";
    const Rows firstRun = {"serial,device,result,first_difference", "KV-000100,VID_845e&PID_0001,PASS,",
                           "KV-000101,VID_845e&PID_0001,FAIL,0x000a", "KV-000101,VID_845e&PID_0001,PASS,",
                           "KV-000102,VID_845e&PID_0001,PASS,"};
    EXPECT_EQ(LogRows(), firstRun);

    ScriptedUnits restarted(1);
    ASSERT_EQ(Line(restarted, {"--family", "A", "--start", "KV-000100", "--count", "1"}), 0) << console.err;
    EXPECT_EQ(console.out.substr(0, console.out.find('\n')), "PASS  KV-000103  VID_845e&PID_0001");
    EXPECT_EQ(ChipSerial(), "KV-000103");
    Rows both = firstRun;
    both.push_back("KV-000103,VID_845e&PID_0001,PASS,");
    EXPECT_EQ(LogRows(), both);
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
                           "line: failed attempts: 2 (not used again)\n");
    EXPECT_NE(console.err.find("ended with Ctrl+C between units"), std::string::npos) << console.err;

    ClearInterrupt();
    WritePrivateProfileStringA("VT_HIDB", "FailBurnRead", nullptr, settings.c_str());
    ScriptedUnits restarted(1);
    ASSERT_EQ(Line(restarted, {"--family", "B", "--count", "1", "--skip-failed"}), 0) << console.err;
    EXPECT_EQ(LogRows(), (Rows{"unit,device,result,first_difference", "1,VID_845e&PID_0001,PASS,",
                               "2,VID_845e&PID_0001,FAIL,", "3,VID_845e&PID_0001,PASS,"}));
}

TEST_F(LineTest, CtrlCDuringATransferFinishesTheUnitThenEndsTheLine)
{
    ScriptedUnits units(3);
    const auto writing = [this]
    {
        std::ifstream log(stateFolder + "\\calls.log", std::ios::binary);
        std::ostringstream calls;
        calls << log.rdbuf();
        return calls.str().find(" WriteEEPROM ") != std::string::npos;
    };
    std::thread operatorAtTheKeyboard;
    units.beforeArrival = [&](int unit)
    {
        if (unit == 0)
        {
            operatorAtTheKeyboard = std::thread(
                [&writing]
                {
                    const DWORD start = GetTickCount();
                    while (!writing() && GetTickCount() - start < 10000)
                    {
                        Sleep(1);
                    }
                    RequestInterrupt();
                });
        }
    };
    const int status = Line(units, {"--family", "A", "--start", "KV-000100"});
    operatorAtTheKeyboard.join();
    EXPECT_EQ(status, 10);
    EXPECT_EQ(console.out.substr(0, console.out.find('\n')), "PASS  KV-000100  VID_845e&PID_0001");
    EXPECT_NE(console.err.find("the last unit was finished"), std::string::npos) << console.err;
    EXPECT_EQ(ChipSerial(), "KV-000100");
    EXPECT_EQ(LogRows(), (Rows{"serial,device,result,first_difference", "KV-000100,VID_845e&PID_0001,PASS,"}));
}

TEST_F(LineTest, RefusesALogInUseOrOfAnotherFormatAndLeavesItAlone)
{
    struct Case
    {
        const char* name;
        const char* contents;
        const char* message;
    };
    const Case cases[] = {
        {"held by another line", "", "is in use: another kelvra-cli line"},
        {"not a log", "name,age\r\nAda,36\r\n", "its first line is not"},
        {"a VT-B log", "time,unit,device,result,first_difference,detail\r\n", "its first line is not"},
        {"a row of another kind", "time,serial,device,result,first_difference,detail\r\nx,KV-1,d,MAYBE,,\r\n",
         "line 2 is not a row"},
        {"a row cut short", "time,serial,device,result,first_difference,detail\r\nx,KV-000100,VID_845e", "cut short"},
    };
    for (const Case& test : cases)
    {
        SCOPED_TRACE(test.name);
        folder.WriteFile("line.csv", test.contents);
        LineLog otherLine;
        if (std::string(test.name) == "held by another line")
        {
            ASSERT_TRUE(otherLine.Open(folder.PathOf("line.csv"), "serial").Succeeded());
        }
        const std::string before = folder.ReadFile("line.csv");
        ScriptedUnits units(1);
        EXPECT_EQ(Line(units, {"--family", "A", "--start", "KV-000100", "--count", "1"}), 8);
        EXPECT_NE(console.err.find(test.message), std::string::npos) << console.err;
        EXPECT_EQ(folder.ReadFile("line.csv"), before);
        EXPECT_EQ(units.registrations, 0) << "no unit was waited for";
    }
    EXPECT_EQ(ChipSerial(), "<no chip>");
}
}  // namespace
