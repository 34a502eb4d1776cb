// The library against the real Kelvra.exe, where it does something the
// end-to-end tests do not already lean on.
#include <gtest/gtest.h>

#include "EndToEndTest.h"
#include "WindowMessages.h"

using namespace KelvraAutomation;

namespace
{

class KelvraWindowTest : public EndToEnd::EndToEndTest
{
protected:
    void SetUp() override
    {
        Install();
        WriteSettings(EndToEnd::SettingsFor("845e", "0001"));
        m_window = &Start();
    }

    // Unlike an erased chip, which reads as all 0xFF, and without the VT-A signature.
    std::string ImageFile(const std::string& name) const
    {
        std::string bytes;
        for (int index = 0; index < 2048; ++index)
        {
            bytes += static_cast<char>(index * 7 + 3);
        }
        return WriteImage(name, bytes);
    }

    const KelvraWindow* m_window = nullptr;
};

TEST_F(KelvraWindowTest, NoWindowOfAnotherProcessIsTaken)
{
    EXPECT_THROW(KelvraWindow::Find(m_window->ProcessId() + 4, Milliseconds(300)), AutomationError);
}

TEST_F(KelvraWindowTest, ReadsTheFamilyTheButtonsAndTheSizeList)
{
    EXPECT_EQ(m_window->CheckedFamily(), ChipFamily::A);
    EXPECT_TRUE(m_window->IsWriteEnabled());
    EXPECT_TRUE(m_window->IsVerifyEnabled());
    const EepromSizeList sizes = m_window->EepromSizes();
    EXPECT_EQ(sizes.entries,
              std::vector<std::string>(std::begin(KelvraText::EepromSizeRows), std::end(KelvraText::EepromSizeRows)));
    EXPECT_EQ(sizes.selected, 0);
    EXPECT_FALSE(sizes.shown);

    m_window->ChooseFamily(ChipFamily::C);
    EXPECT_EQ(m_window->CheckedFamily(), ChipFamily::C);
    EXPECT_TRUE(m_window->EepromSizes().shown);
    m_window->ChooseFamily(ChipFamily::A);
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

TEST_F(KelvraWindowTest, AFolderNameIsReportedAndTheOpenDialogCancelled)
{
    const std::string image = ImageFile("before.hex");
    m_window->Browse(image);
    // The Open dialog goes into a folder instead of returning it.
    EXPECT_THROW(m_window->Browse(NewFolder("chosen"), Milliseconds(3000)), AutomationError);
    EXPECT_TRUE(FindTopLevelDialogs(m_window->ProcessId(), "Open").empty());
    EXPECT_TRUE(IsWindowEnabled(m_window->Handle()));
    EXPECT_EQ(m_window->ImagePath(), image);
}

TEST_F(KelvraWindowTest, AnOperationIsNotEndedByTheLinesOfTheOneBefore)
{
    m_window->Browse(ImageFile("image.hex"));
    ASSERT_EQ(m_window->RunOperation(OperationKind::Verify).finalLine, KelvraText::VerifyFail);  // erased chip
    ASSERT_EQ(m_window->RunOperation(OperationKind::WriteThenVerify).finalLine, KelvraText::VerifySuccess);
    // The list still shows "Verify Success!" when the next verify is pressed.
    SetEmulatorSettings("[VT_HIDA]\r\nCorruptReadOffset=5\r\n");
    EXPECT_EQ(m_window->RunOperation(OperationKind::Verify).finalLine, KelvraText::VerifyFail);
}

TEST_F(KelvraWindowTest, AWindowThatIsGoneIsReported)
{
    const KelvraWindow window = *m_window;
    ExitKelvra();
    EXPECT_FALSE(IsWindow(window.Handle()));
    EXPECT_THROW(window.Messages(), AutomationError);
}

}  // namespace
