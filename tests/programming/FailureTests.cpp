// Every failure ends in one fail line, with the dialog restored.
#include "ProgrammingHarness.h"

#include "EmulatedDriverFolders.h"

namespace
{
using Lines = std::vector<std::string>;

TEST_F(ProgrammingTest, FailedWordStopsTheWriteAndTheCloseStillFollows)
{
    RealChipPacing realPacing;
    Start();
    ChooseImage(CountingBytes(128));
    SetEmulator("VT_HIDA", "FailWriteWord", "5");
    EXPECT_EQ(Press(IDC_WRITE), (Lines{KelvraText::Writing, KelvraText::WriteFail}));
    const auto calls = Calls();
    const auto writes = CallsOf(calls, "WriteEEPROM");
    ASSERT_EQ(writes.size(), 6u);
    EXPECT_EQ(writes.back().ArgumentValue(0), 5u);
    EXPECT_EQ(writes.back().result, 0);
    EXPECT_EQ(calls.back().function, "CloseDevice");
    EXPECT_GE(calls.back().microseconds - writes.back().microseconds, 20000);
    ExpectRestored();
}

TEST_F(ProgrammingTest, FailedOpenAndFailedBurnReportFail)
{
    Start();
    ChooseImage(CountingBytes(128));
    SetEmulator("VT_HIDA", "FailOpen", "1");
    EXPECT_EQ(Press(IDC_WRITE), (Lines{KelvraText::Writing, KelvraText::WriteFail}));
    EXPECT_TRUE(CallsOf(Calls(), "CloseDevice").empty());
    ExpectRestored();

    ChooseFamily(2);
    ChooseImage(CountingBytes(256));
    SetEmulator("VT_HIDC", "FailBurn", "1");
    EXPECT_EQ(Press(IDC_WRITE), (Lines{KelvraText::Writing, KelvraText::WriteFail}));
    EXPECT_EQ(Press(IDC_VERIFY), (Lines{KelvraText::Verifying, KelvraText::VerifyFail}));
    EXPECT_EQ(CallsOf(Calls(), "rmDeviceClose").size(), 2u);
    ExpectRestored();
}

TEST_F(ProgrammingTest, MissingLibraryFailsAndEnablesTheButtonAgain)
{
    CreateDirectoryA(folder.PathOf("empty").c_str(), nullptr);
    UseLibrariesFrom(folder.PathOf("empty"));
    Start();
    ChooseImage(CountingBytes(128));
    EXPECT_EQ(Press(IDC_WRITE), (Lines{KelvraText::Writing, KelvraText::WriteFail}));
    EXPECT_EQ(Press(IDC_VERIFY), (Lines{KelvraText::Verifying, KelvraText::VerifyFail}));
    ExpectRestored();
}

TEST_F(ProgrammingTest, AnyMissingExportCallsNothingOfThatLibrary)
{
    const struct
    {
        int family;
        const char* missing;
        int button;
    } cases[] = {
        {0, "StartDeviceDetection", IDC_WRITE}, {0, "CloseDevice", IDC_VERIFY},     {0, "WriteEEPROM", IDC_WRITE},
        {0, "ReadEEPROM", IDC_VERIFY},          {1, "rmDeviceStart", IDC_WRITE},    {1, "rmDeviceClose", IDC_VERIFY},
        {1, "rmBurnEEPROM", IDC_WRITE},         {2, "rmSetEEPROMSize", IDC_VERIFY}, {2, "rmBurnEEPROM", IDC_VERIFY},
    };
    Start();
    for (const auto& entry : cases)
    {
        UseLibrariesFrom(EmulatedDriversFolderMissing(entry.missing));
        ChooseFamily(entry.family);
        ChooseImage(CountingBytes(256));
        const Lines expected = entry.button == IDC_WRITE ? Lines{KelvraText::Writing, KelvraText::WriteFail}
                                                         : Lines{KelvraText::Verifying, KelvraText::VerifyFail};
        EXPECT_EQ(Press(entry.button), expected) << entry.missing;
        EXPECT_TRUE(Calls().empty()) << entry.missing;
        ExpectRestored();
    }
    // The read export is not needed for a write, nor the write export for a verify.
    UseLibrariesFrom(EmulatedDriversFolderMissing("ReadEEPROM"));
    ChooseFamily(0);
    ChooseImage(CountingBytes(128));
    EXPECT_EQ(Press(IDC_WRITE), (Lines{KelvraText::Writing, KelvraText::WriteSuccess}));
}

TEST_F(ProgrammingTest, ImageFileThatCannotBeOpenedFailsWithoutADriverCall)
{
    Start();
    ChooseImage(CountingBytes(128));
    DeleteFileA(folder.PathOf("image.hex").c_str());
    EXPECT_EQ(Press(IDC_WRITE), (Lines{KelvraText::Writing, KelvraText::WriteFail}));
    ExpectRestored();

    CreateDirectoryA(folder.PathOf("folder.hex").c_str(), nullptr);
    dialog.ImagePath = folder.PathOf("folder.hex").c_str();
    EXPECT_EQ(Press(IDC_VERIFY), (Lines{KelvraText::Verifying, KelvraText::VerifyFail}));
    ExpectRestored();

    ChooseImage(CountingBytes(128));
    HANDLE locked =
        CreateFileA(folder.PathOf("image.hex").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(locked, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Press(IDC_WRITE), (Lines{KelvraText::Writing, KelvraText::WriteFail}));
    CloseHandle(locked);
    ExpectRestored();
    EXPECT_TRUE(Calls().empty());
}

TEST_F(ProgrammingTest, DeviceListWithoutSelectionFailsWithoutADriverCall)
{
    Start();
    ChooseImage(CountingBytes(128));
    // Typing into the list's edit field clears its selection.
    HWND deviceList = harness->Control(IDC_DEVICE_LIST);
    HWND edit = GetWindow(deviceList, GW_CHILD);
    ASSERT_NE(edit, nullptr);
    SendMessageA(edit, WM_CHAR, 'x', 1);
    harness->Pump();
    ASSERT_EQ(SendMessageA(deviceList, CB_GETCURSEL, 0, 0), CB_ERR);
    ASSERT_EQ(SendMessageA(deviceList, CB_GETCOUNT, 0, 0), 1);

    EXPECT_EQ(Press(IDC_WRITE), (Lines{KelvraText::Writing, KelvraText::WriteFail}));
    EXPECT_EQ(Press(IDC_VERIFY), (Lines{KelvraText::Verifying, KelvraText::VerifyFail}));
    EXPECT_TRUE(Calls().empty());
    ExpectRestored();
}
}  // namespace
