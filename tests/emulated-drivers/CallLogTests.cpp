// calls.log: one parsable line per export call, and where the state folder is.
#include "CallLog.h"
#include "EmulatorTestSupport.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

namespace
{

class CallLogLines : public ::testing::Test
{
protected:
    ScratchStateFolder state;
};

std::vector<std::string> Arguments(std::initializer_list<const char*> texts)
{
    return std::vector<std::string>(texts.begin(), texts.end());
}

long long MicrosecondsNow()
{
    LARGE_INTEGER frequency;
    LARGE_INTEGER counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return counter.QuadPart / frequency.QuadPart * 1000000 +
           counter.QuadPart % frequency.QuadPart * 1000000 / frequency.QuadPart;
}

TEST_F(CallLogLines, Family0CallsAreLoggedInOrderWithEveryArgument)
{
    Family0Driver driver;
    ASSERT_EQ(driver.Open(WineMouseKey), 1);
    ASSERT_EQ(driver.Write(5, 0xABCD1234), 1);
    WORD word = 0;
    ASSERT_EQ(driver.Read(5, &word), 1);
    EXPECT_EQ(driver.Read(64, &word), 0);
    ASSERT_EQ(driver.Close(), 1);

    const std::vector<LoggedCall> calls = ReadCallLog(state.Path());
    ASSERT_EQ(calls.size(), 5u);
    for (const LoggedCall& call : calls)
    {
        EXPECT_EQ(call.library, "VT_HIDA");
    }
    EXPECT_EQ(calls[0].function, "StartDeviceDetection");
    EXPECT_EQ(calls[0].arguments,
              Arguments({"0x1234", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0x845E", "0x845E0001"}));
    EXPECT_EQ(calls[0].result, 1);
    EXPECT_EQ(calls[1].function, "WriteEEPROM");
    EXPECT_EQ(calls[1].arguments, Arguments({"5", "0xABCD1234"}));
    EXPECT_EQ(calls[2].function, "ReadEEPROM");
    ASSERT_EQ(calls[2].arguments.size(), 2u);
    EXPECT_EQ(calls[2].ArgumentValue(0), 5u);
    EXPECT_EQ(calls[2].ArgumentValue(1), reinterpret_cast<UINT_PTR>(&word));
    EXPECT_EQ(calls[3].result, 0);
    EXPECT_EQ(calls[4].function, "CloseDevice");
    EXPECT_TRUE(calls[4].arguments.empty());
    EXPECT_EQ(calls[4].result, 1);
}

TEST_F(CallLogLines, BurnCallsAreLoggedInOrderWithEveryArgument)
{
    BurnDriver driver("VT_HIDC");
    std::vector<BYTE> image(1024, 0);
    EXPECT_EQ(driver.Burn(1, image.data(), 1024), 0);
    ASSERT_EQ(driver.Open(WineKeyboardKey), 1);
    ASSERT_EQ(driver.SetSize(1024), 1);
    ASSERT_EQ(driver.Burn(1, image.data(), 1024), 1);
    ASSERT_EQ(driver.Close(), 1);

    const std::vector<LoggedCall> calls = ReadCallLog(state.Path());
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[0].function, "rmBurnEEPROM");
    EXPECT_EQ(calls[0].result, 0);
    EXPECT_EQ(calls[1].library, "VT_HIDC");
    EXPECT_EQ(calls[1].function, "rmDeviceStart");
    EXPECT_EQ(calls[1].arguments, Arguments({"0x845E", "0x845E0002", "0x1234", "0", "0", "0"}));
    EXPECT_EQ(calls[2].function, "rmSetEEPROMSize");
    EXPECT_EQ(calls[2].arguments, Arguments({"1", "1024"}));
    EXPECT_EQ(calls[3].function, "rmBurnEEPROM");
    ASSERT_EQ(calls[3].arguments.size(), 4u);
    EXPECT_EQ(calls[3].arguments[0], "1");
    EXPECT_EQ(calls[3].arguments[1], "0");
    EXPECT_EQ(calls[3].ArgumentValue(2), reinterpret_cast<UINT_PTR>(image.data()));
    EXPECT_EQ(calls[3].arguments[3], "1024");
    EXPECT_EQ(calls[3].result, 1);
    EXPECT_EQ(calls[4].function, "rmDeviceClose");
}

// Tests and other processes read, and append to, the log while a library has a device open.
TEST_F(CallLogLines, LogIsSharedWhileADeviceIsOpen)
{
    Family0Driver driver;
    ASSERT_EQ(driver.Open(WineMouseKey), 1);
    ASSERT_EQ(driver.Write(1, 0x1111), 1);
    EXPECT_EQ(ReadCallLog(state.Path()).size(), 2u);

    const HANDLE other = CreateFileA(state.FilePath("calls.log").c_str(), FILE_APPEND_DATA,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    const char line[] = "1 VT_HIDB rmDeviceClose -> 0\r\n";
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(other, line, sizeof line - 1, &written, nullptr));
    CloseHandle(other);
    ASSERT_EQ(driver.Write(2, 0x2222), 1);
    ASSERT_EQ(driver.Close(), 1);

    const std::vector<LoggedCall> calls = ReadCallLog(state.Path());
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[2].library, "VT_HIDB") << "appended at the end, not over another's line";
    EXPECT_EQ(calls[3].function, "WriteEEPROM");
    EXPECT_EQ(calls[3].arguments, Arguments({"2", "0x2222"}));
    EXPECT_EQ(calls[4].function, "CloseDevice");
}

TEST_F(CallLogLines, TimestampIsTheEntryInMicroseconds)
{
    Family0Driver driver;
    const long long before = MicrosecondsNow();
    driver.Open(WineMouseKey);
    const long long afterOpen = MicrosecondsNow();
    Sleep(30);
    driver.Close();

    const std::vector<LoggedCall> calls = ReadCallLog(state.Path());
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_GE(calls[0].microseconds, before);
    EXPECT_LE(calls[0].microseconds, afterOpen);
    EXPECT_GE(calls[1].microseconds - calls[0].microseconds, 30000 - 1000);
}

TEST(StateFolderLocation, EnvironmentIsReadAtEachOpen)
{
    const TemporaryFolder scratch;
    const std::string first = scratch.PathOf("first");
    const std::string second = scratch.PathOf("second\\nested");
    SetEnvironmentVariableA("KELVRA_EMULATOR_DIR", first.c_str());
    Family0Driver driver;
    ASSERT_EQ(driver.Open(WineMouseKey), 1);
    SetEnvironmentVariableA("KELVRA_EMULATOR_DIR", second.c_str());
    ASSERT_EQ(driver.Write(0, 0x1234), 1) << "the open's folder holds until the close";
    ASSERT_EQ(driver.Close(), 1);
    ASSERT_EQ(driver.Open(WineMouseKey), 1);
    ASSERT_EQ(driver.Write(0, 0x5678), 1);
    driver.Close();
    SetEnvironmentVariableA("KELVRA_EMULATOR_DIR", nullptr);

    EXPECT_EQ(ReadCallLog(first).size(), 3u);
    EXPECT_EQ(ReadCallLog(second).size(), 3u) << "missing folders are created, parents too";
    EXPECT_NE(GetFileAttributesA((first + "\\VT_HIDA-845E0001.bin").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(GetFileAttributesA((second + "\\VT_HIDA-845E0001.bin").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(StateFolderLocation, CallsWithoutAnOpenDeviceLogWhereTheEnvironmentPointsThen)
{
    const TemporaryFolder scratch;
    const std::string first = scratch.PathOf("first");
    const std::string second = scratch.PathOf("second");
    SetEnvironmentVariableA("KELVRA_EMULATOR_DIR", first.c_str());
    Family0Driver driver;
    ASSERT_EQ(driver.Open(WineMouseKey), 1);
    ASSERT_EQ(driver.Close(), 1);
    SetEnvironmentVariableA("KELVRA_EMULATOR_DIR", second.c_str());
    EXPECT_EQ(driver.Close(), 0);
    EXPECT_EQ(driver.Open(AbsentDeviceKey), 0);
    SetEnvironmentVariableA("KELVRA_EMULATOR_DIR", nullptr);

    EXPECT_EQ(ReadCallLog(first).size(), 2u);
    EXPECT_EQ(ReadCallLog(second).size(), 2u);
}

TEST(StateFolderLocation, DefaultsToKelvraEmulatorInTheTemporaryFolder)
{
    const TemporaryFolder scratch;
    const std::string& temporary = scratch.Path();
    char savedTmp[MAX_PATH] = {};
    char savedTemp[MAX_PATH] = {};
    const bool hadTmp = GetEnvironmentVariableA("TMP", savedTmp, MAX_PATH) != 0;
    const bool hadTemp = GetEnvironmentVariableA("TEMP", savedTemp, MAX_PATH) != 0;
    SetEnvironmentVariableA("KELVRA_EMULATOR_DIR", nullptr);
    SetEnvironmentVariableA("TMP", temporary.c_str());
    SetEnvironmentVariableA("TEMP", temporary.c_str());
    {
        BurnDriver driver("VT_HIDB");
        driver.Close();
    }
    SetEnvironmentVariableA("TMP", hadTmp ? savedTmp : nullptr);
    SetEnvironmentVariableA("TEMP", hadTemp ? savedTemp : nullptr);

    const std::vector<LoggedCall> calls = ReadCallLog(temporary + "\\KelvraEmulator");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].function, "rmDeviceClose");
}

TEST(CallLogReader, RejectsLinesOfAnotherShape)
{
    LoggedCall call;
    EXPECT_FALSE(ParseCallLogLine("", call));
    EXPECT_FALSE(ParseCallLogLine("12 VT_HIDA WriteEEPROM 5 0x1234", call));
    EXPECT_FALSE(ParseCallLogLine("12 VT_HIDA WriteEEPROM 5 0x1234 -> 1 extra", call));
    EXPECT_FALSE(ParseCallLogLine("soon VT_HIDA CloseDevice -> 1", call));
    EXPECT_FALSE(ParseCallLogLine("12 VT_HIDA CloseDevice -> yes", call));
}

TEST(CallLogReader, MissingLogHasNoCallsAndAMalformedOneThrows)
{
    const TemporaryFolder folder;
    EXPECT_TRUE(ReadCallLog(folder.Path()).empty());
    folder.WriteFile("calls.log", "1 VT_HIDA CloseDevice -> 0\r\ntruncated line\r\n");
    EXPECT_THROW(ReadCallLog(folder.Path()), std::runtime_error);
}

}  // namespace
