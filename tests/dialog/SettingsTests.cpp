// The settings file "./<program name>.ini", read once when the dialog starts.
#include <gtest/gtest.h>

#include <cstdlib>

#include "DialogHarness.h"
#include "WorkingFolder.h"

namespace
{
std::string SettingsFileName()
{
    return std::string(AfxGetApp()->m_pszAppName) + ".ini";
}

struct ReadValues
{
    std::string vid;
    std::string pid;
    UINT autoVerify;
};

ReadValues StartDialogAndRead()
{
    CKelvraDlg dialog;
    DialogHarness harness(dialog);
    return ReadValues{std::string(dialog.VidText), std::string(dialog.PidText), dialog.AutoVerify};
}

class SettingsTest : public testing::Test
{
protected:
    void WriteSettings(const std::string& contents) { folder.WriteFile(SettingsFileName(), contents); }
    WorkingFolder folder;
};

TEST_F(SettingsTest, MissingFileLeavesEverythingEmptyAndOff)
{
    const ReadValues values = StartDialogAndRead();
    EXPECT_EQ("", values.vid);
    EXPECT_EQ("", values.pid);
    EXPECT_EQ(0u, values.autoVerify);
}

TEST_F(SettingsTest, ReadsAllThreeKeys)
{
    WriteSettings("[KELVRA]\r\nVID=0A1B\r\nPID=2c3d\r\nAUTOVERIFY=1\r\n");
    const ReadValues values = StartDialogAndRead();
    EXPECT_EQ("0A1B", values.vid);
    EXPECT_EQ("2c3d", values.pid);
    EXPECT_EQ(1u, values.autoVerify);
}

TEST_F(SettingsTest, VidWithoutPidLeavesPidEmpty)
{
    WriteSettings("[KELVRA]\nVID=845e\n");
    const ReadValues values = StartDialogAndRead();
    EXPECT_EQ("845e", values.vid);
    EXPECT_EQ("", values.pid);
}

TEST_F(SettingsTest, EmptyValueCountsAsMissing)
{
    WriteSettings("[KELVRA]\nVID=\nPID=\nAUTOVERIFY=\n");
    const ReadValues values = StartDialogAndRead();
    EXPECT_EQ("", values.vid);
    EXPECT_EQ("", values.pid);
    EXPECT_EQ(0u, values.autoVerify);
}

TEST_F(SettingsTest, AutoVerifyIsOnForAnyNonZeroNumberAndOffForJunk)
{
    const struct
    {
        const char* text;
        UINT expected;
    } cases[] = {{"0", 0}, {"1", 1}, {"2", 2}, {"junk", 0}, {"x1", 0}, {"7abc", 7}};
    for (const auto& entry : cases)
    {
        WriteSettings(std::string("[KELVRA]\nAUTOVERIFY=") + entry.text + "\n");
        EXPECT_EQ(entry.expected, StartDialogAndRead().autoVerify) << entry.text;
    }
}

TEST_F(SettingsTest, SectionAndKeyNamesMatchInAnyCase)
{
    WriteSettings("[kelvra]\nvid=a1b2\nPid=0c3d\nAutoVerify=1\n");
    const ReadValues values = StartDialogAndRead();
    EXPECT_EQ("a1b2", values.vid);
    EXPECT_EQ("0c3d", values.pid);
    EXPECT_EQ(1u, values.autoVerify);
}

TEST_F(SettingsTest, OtherSectionsAreNotRead)
{
    WriteSettings("[OTHER]\nVID=1111\nPID=2222\nAUTOVERIFY=1\n");
    const ReadValues values = StartDialogAndRead();
    EXPECT_EQ("", values.vid);
    EXPECT_EQ("", values.pid);
    EXPECT_EQ(0u, values.autoVerify);
}

TEST_F(SettingsTest, ValueOver259CharactersIsCutTo259)
{
    const std::string longValue(400, 'a');
    WriteSettings("[KELVRA]\nVID=" + longValue + "\n");
    EXPECT_EQ(std::string(259, 'a'), StartDialogAndRead().vid);
}

// A copy of this test program under another name runs the child test below;
// it must read the settings file named after its new name.
TEST_F(SettingsTest, RenamedExecutableReadsTheFileOfItsNewName)
{
    char ownPath[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, ownPath, sizeof ownPath);
    ASSERT_TRUE(CopyFileA(ownPath, folder.PathOf("Renamed.exe").c_str(), FALSE));
    WriteSettings("[KELVRA]\nVID=1111\n");
    folder.WriteFile("Renamed.ini", "[KELVRA]\nVID=2222\nPID=3333\nAUTOVERIFY=1\n");

    std::string commandLine = "\"" + folder.PathOf("Renamed.exe") +
                              "\" --gtest_filter=RenamedChild.ReadsRenamedSettings --gtest_also_run_disabled_tests";
    SetEnvironmentVariableA("KELVRA_TEST_RENAMED_CHILD", "1");
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    const BOOL started = CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                                        folder.Path().c_str(), &startup, &process);
    SetEnvironmentVariableA("KELVRA_TEST_RENAMED_CHILD", nullptr);
    ASSERT_TRUE(started);
    const DWORD waited = WaitForSingleObject(process.hProcess, 60000);
    if (waited != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 1);
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_EQ(WAIT_OBJECT_0, waited);
    EXPECT_EQ(0u, exitCode);
}

TEST(RenamedChild, ReadsRenamedSettings)
{
    if (std::getenv("KELVRA_TEST_RENAMED_CHILD") == nullptr)
        GTEST_SKIP() << "runs only inside the renamed copy";
    EXPECT_STREQ("Renamed", AfxGetApp()->m_pszAppName);
    const ReadValues values = StartDialogAndRead();
    EXPECT_EQ("2222", values.vid);
    EXPECT_EQ("3333", values.pid);
    EXPECT_EQ(1u, values.autoVerify);
}
}  // namespace
