// The library against the real Kelvra.exe, started in a folder of its own.
#include <gtest/gtest.h>

#include <memory>

#include "KelvraAutomation.h"
#include "TestProcesses.h"
#include "WindowMessages.h"

using namespace KelvraAutomation;

namespace {

// Wine's own HID device 845e/0001 is always there.
const std::string AutoVerifySettings = "[KELVRA]\r\nVID=845e\r\nPID=0001\r\nAUTOVERIFY=1\r\n";
const std::string PlainSettings = "[KELVRA]\r\nVID=845e\r\nPID=0001\r\nAUTOVERIFY=0\r\n";
const std::vector<std::string> SizeRows(std::begin(KelvraText::EepromSizeRows), std::end(KelvraText::EepromSizeRows));

class KelvraWindowTest : public ::testing::Test
{
protected:
    virtual std::string Settings() const { return AutoVerifySettings; }

    void SetUp() override
    {
        m_kelvra = std::make_unique<KelvraProcess>(Settings());
        m_window = std::make_unique<KelvraWindow>(KelvraWindow::Find(m_kelvra->Id()));
        m_window->WaitUntilReady();
    }

    void TearDown() override
    {
        if (!m_kelvra->HasEnded() && IsWindow(m_window->Handle()) && IsWindowEnabled(m_window->Handle()))
        {
            m_window->PressExit();
            m_window->WaitUntilClosed(m_kelvra->Handle());
        }
    }

    HWND Control(int id) const { return GetDlgItem(m_window->Handle(), id); }

    // Lines put into the message list by the test itself, for reading back.
    void AddMessageLine(const std::string& line) const
    {
        const std::wstring wide = WideFromNarrow(line);
        ASSERT_TRUE(SendWithin(Control(1008), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()),
                               DefaultTimeout::Answer));
    }

    // Unlike an erased chip, which reads as all 0xFF, and without the VT-A signature.
    std::string ImageFile(const std::string& name) const
    {
        std::string bytes;
        for (int index = 0; index < 2048; ++index)
            bytes += static_cast<char>(index * 7 + 3);
        m_kelvra->Folder().WriteFile(name, bytes);
        return m_kelvra->Folder().PathOf(name);
    }

    std::unique_ptr<KelvraProcess> m_kelvra;
    std::unique_ptr<KelvraWindow> m_window;
};

TEST_F(KelvraWindowTest, FindsTheWindowOfTheProcess)
{
    EXPECT_EQ(m_window->ProcessId(), m_kelvra->Id());
    EXPECT_TRUE(m_window->Answers(DefaultTimeout::Answer));
}

TEST_F(KelvraWindowTest, NoWindowOfAnotherProcessIsTaken)
{
    EXPECT_THROW(KelvraWindow::Find(m_kelvra->Id() + 4, Milliseconds(300)), AutomationError);
}

TEST_F(KelvraWindowTest, StartsWithVtAAndButtonsEnabled)
{
    EXPECT_EQ(m_window->CheckedFamily(), ChipFamily::A);
    EXPECT_TRUE(m_window->IsWriteEnabled());
    EXPECT_TRUE(m_window->IsVerifyEnabled());
    EXPECT_EQ(m_window->ImagePath(), "");
}

TEST_F(KelvraWindowTest, ReadsTheSizeRowsExactly)
{
    const EepromSizeList sizes = m_window->EepromSizes();
    EXPECT_EQ(sizes.entries, SizeRows);
    EXPECT_EQ(sizes.selected, 0);
    EXPECT_FALSE(sizes.shown);
}

TEST_F(KelvraWindowTest, VtCShowsTheSizeListAndVtAHidesIt)
{
    m_window->ChooseFamily(ChipFamily::C);
    EXPECT_EQ(m_window->CheckedFamily(), ChipFamily::C);
    EXPECT_TRUE(m_window->EepromSizes().shown);

    m_window->ChooseFamily(ChipFamily::A);
    EXPECT_EQ(m_window->CheckedFamily(), ChipFamily::A);
    EXPECT_FALSE(m_window->EepromSizes().shown);
}

TEST_F(KelvraWindowTest, ChoosesSizesByRowAndByText)
{
    m_window->ChooseFamily(ChipFamily::C);
    m_window->ChooseEepromSize("24C08");
    EXPECT_EQ(m_window->EepromSizes().selected, 2);
    m_window->ChooseEepromSize(3);
    EXPECT_EQ(m_window->EepromSizes().selected, 3);
    m_window->ChooseEepromSize(KELVRA_SIZE_ROW_24C04);
    EXPECT_EQ(m_window->EepromSizes().selected, 1);
}

TEST_F(KelvraWindowTest, RefusesASizeAPersonCouldNotChoose)
{
    EXPECT_THROW(m_window->ChooseEepromSize(1), AutomationError);  // hidden for VT-A
    m_window->ChooseFamily(ChipFamily::C);
    EXPECT_THROW(m_window->ChooseEepromSize(4), AutomationError);
    EXPECT_THROW(m_window->ChooseEepromSize("24C"), AutomationError);
    EXPECT_EQ(m_window->EepromSizes().selected, 0);
}

TEST_F(KelvraWindowTest, BrowseSetsTheImagePath)
{
    const std::string image = ImageFile("image.hex");
    m_window->Browse(image);
    EXPECT_EQ(m_window->ImagePath(), image);
    EXPECT_TRUE(FindTopLevelDialogs(m_kelvra->Id(), "Open").empty());
}

TEST_F(KelvraWindowTest, CancelledBrowseKeepsThePath)
{
    const std::string image = ImageFile("kept.hex");
    m_window->Browse(image);
    m_window->CancelBrowse();
    EXPECT_EQ(m_window->ImagePath(), image);
    EXPECT_TRUE(IsWindowEnabled(m_window->Handle()));
}

TEST_F(KelvraWindowTest, AFolderNameIsReportedAndTheOpenDialogCancelled)
{
    const std::string image = ImageFile("before.hex");
    m_window->Browse(image);
    // The Open dialog goes into a folder instead of returning it.
    EXPECT_THROW(m_window->Browse(m_kelvra->Folder().Path(), Milliseconds(3000)), AutomationError);
    EXPECT_TRUE(FindTopLevelDialogs(m_kelvra->Id(), "Open").empty());
    EXPECT_TRUE(IsWindowEnabled(m_window->Handle()));
    EXPECT_EQ(m_window->ImagePath(), image);
}

TEST_F(KelvraWindowTest, ChoosingAFamilyClearsThePath)
{
    // Kelvra's own handler does that, so the click really reached it.
    m_window->Browse(ImageFile("cleared.hex"));
    m_window->ChooseFamily(ChipFamily::B);
    EXPECT_EQ(m_window->ImagePath(), "");
}

TEST_F(KelvraWindowTest, ReadsEveryMessageLine)
{
    const std::vector<std::string> lines = {KelvraText::VerifySuccess, "", "VID:0x845e", "Serial Number:0001 & more"};
    for (const auto& line : lines)
        AddMessageLine(line);
    EXPECT_EQ(m_window->Messages(), lines);
}

TEST_F(KelvraWindowTest, ANotificationOfAnotherClassLeavesTheMessages)
{
    AddMessageLine(KelvraText::WriteSuccess);
    m_window->SendDeviceChange(DeviceEvent::Arrival, UsbDeviceInterfaceClass);
    m_window->SendDeviceChange(DeviceEvent::Removal, HidInterfaceClass, DBT_DEVTYP_VOLUME);
    EXPECT_EQ(m_window->Messages(), std::vector<std::string>{KelvraText::WriteSuccess});
}

TEST_F(KelvraWindowTest, ReadsTheDeviceList)
{
    const DeviceList devices = m_window->Devices();
    EXPECT_EQ(devices.entries, std::vector<std::string>{"VID_845e&PID_0001"});
    EXPECT_EQ(devices.selected, 0);
}

TEST_F(KelvraWindowTest, AHidNotificationReachesKelvra)
{
    AddMessageLine(KelvraText::WriteSuccess);
    m_window->SendDeviceChange(DeviceEvent::Removal, HidInterfaceClass);
    // Kelvra's rebuild of the device list empties the messages.
    EXPECT_EQ(m_window->Messages(), std::vector<std::string>{});
    EXPECT_EQ(m_window->Devices().entries, std::vector<std::string>{"VID_845e&PID_0001"});
}

TEST_F(KelvraWindowTest, ARefusalEndsAnOperationStartedOnAnEmptyList)
{
    ASSERT_EQ(m_window->Messages(), std::vector<std::string>{});
    const OperationResult result = m_window->RunOperation(OperationKind::Verify);
    EXPECT_EQ(result.finalLine, KelvraText::NoImage);
    EXPECT_EQ(result.lines, std::vector<std::string>{KelvraText::NoImage});
}

TEST_F(KelvraWindowTest, AWriteThenVerifyEndsWithTheVerify)
{
    m_window->Browse(ImageFile("image.hex"));
    const OperationResult result = m_window->RunOperation(OperationKind::WriteThenVerify);
    EXPECT_EQ(result.finalLine, KelvraText::VerifySuccess);
    EXPECT_EQ(result.lines, (std::vector<std::string>{KelvraText::Verifying, KelvraText::VerifySuccess, ""}));
    EXPECT_TRUE(m_window->IsWriteEnabled());
    EXPECT_TRUE(m_window->IsVerifyEnabled());
}

TEST_F(KelvraWindowTest, AFailedWriteEndsAWriteThenVerify)
{
    m_window->Browse(ImageFile("image.hex"));
    m_kelvra->SetEmulatorSettings("[VT_HIDA]\r\nFailOpen=1\r\n");
    const OperationResult result = m_window->RunOperation(OperationKind::WriteThenVerify);
    EXPECT_EQ(result.finalLine, KelvraText::WriteFail);
    EXPECT_EQ(result.lines, (std::vector<std::string>{KelvraText::Writing, KelvraText::WriteFail}));
}

TEST_F(KelvraWindowTest, AnOperationIsNotEndedByTheLinesOfTheOneBefore)
{
    m_window->Browse(ImageFile("image.hex"));
    ASSERT_EQ(m_window->RunOperation(OperationKind::Verify).finalLine, KelvraText::VerifyFail);  // erased chip
    ASSERT_EQ(m_window->RunOperation(OperationKind::WriteThenVerify).finalLine, KelvraText::VerifySuccess);
    // The list still shows KelvraText::VerifySuccess when the next verify is pressed.
    m_kelvra->SetEmulatorSettings("[VT_HIDA]\r\nCorruptReadOffset=5\r\n");
    EXPECT_EQ(m_window->RunOperation(OperationKind::Verify).finalLine, KelvraText::VerifyFail);
}

TEST_F(KelvraWindowTest, ExitEndsTheProcess)
{
    m_window->PressExit();
    m_window->WaitUntilClosed(m_kelvra->Handle());
    EXPECT_TRUE(m_kelvra->HasEnded());
    EXPECT_FALSE(IsWindow(m_window->Handle()));
    EXPECT_THROW(m_window->Messages(), AutomationError);
}

class WithoutAutoVerifyTest : public KelvraWindowTest
{
protected:
    std::string Settings() const override { return PlainSettings; }
};

TEST_F(WithoutAutoVerifyTest, AWriteEndsAtItsOwnLine)
{
    m_window->Browse(ImageFile("image.hex"));
    const OperationResult result = m_window->RunOperation(OperationKind::Write);
    EXPECT_EQ(result.finalLine, KelvraText::WriteSuccess);
    EXPECT_EQ(result.lines, (std::vector<std::string>{KelvraText::Writing, KelvraText::WriteSuccess}));
}

TEST_F(WithoutAutoVerifyTest, ASecondWriteGetsItsOwnOutcome)
{
    m_window->Browse(ImageFile("image.hex"));
    ASSERT_EQ(m_window->RunOperation(OperationKind::Write).finalLine, KelvraText::WriteSuccess);
    m_kelvra->SetEmulatorSettings("[VT_HIDA]\r\nFailWriteWord=60\r\n");
    EXPECT_EQ(m_window->RunOperation(OperationKind::Write).finalLine, KelvraText::WriteFail);
}

TEST_F(WithoutAutoVerifyTest, PressAndWaitAsTwoSteps)
{
    m_window->Browse(ImageFile("image.hex"));
    const PendingOperation pending = m_window->StartOperation(OperationKind::Verify);
    EXPECT_EQ(pending.kind, OperationKind::Verify);
    EXPECT_EQ(m_window->WaitForOperationEnd(pending).finalLine, KelvraText::VerifyFail);
}

}  // namespace
