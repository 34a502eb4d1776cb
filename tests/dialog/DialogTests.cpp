// The dialog as a person meets it: its controls after start, the chip
// family and size choices, the file dialog, and the keys that end it.
#include <gtest/gtest.h>

#include "DialogHarness.h"
#include "KelvraTexts.h"
#include "WorkingFolder.h"

namespace
{
class DialogTest : public testing::Test
{
protected:
    WorkingFolder folder;
    CKelvraDlg dialog;
};

TEST_F(DialogTest, StartsWithFamilyAHiddenSizeControlsAndFocusOnExit)
{
    DialogHarness harness(dialog);

    EXPECT_TRUE(harness.IsChecked(IDC_CHIP_A));
    EXPECT_FALSE(harness.IsChecked(IDC_CHIP_B));
    EXPECT_FALSE(harness.IsChecked(IDC_CHIP_C));
    EXPECT_EQ(dialog.ChipFamily, 0);
    EXPECT_FALSE(harness.IsVisible(IDC_EEPROM_SIZE));
    EXPECT_FALSE(harness.IsVisible(IDC_EEPROM_SIZE_LABEL));
    EXPECT_EQ(dialog.EepromSize, 256u);
    EXPECT_EQ(ComboBoxEntries(harness.Control(IDC_EEPROM_SIZE)),
              std::vector<std::string>(std::begin(KelvraText::EepromSizeRows), std::end(KelvraText::EepromSizeRows)));
    EXPECT_EQ(harness.CurrentSelection(IDC_EEPROM_SIZE), 0);
    EXPECT_EQ(harness.Text(IDC_IMAGE_PATH), "");
    EXPECT_TRUE(harness.Messages().empty());
    EXPECT_EQ(GetFocus(), harness.Control(IDCANCEL));
    EXPECT_EQ(dialog.DriverLibrary, nullptr);
    EXPECT_FALSE(dialog.BusyFlag);
    for (BYTE value : dialog.ImageBuffer)
    {
        ASSERT_EQ(value, 0);
    }
}

TEST_F(DialogTest, TemplateHasItsControlsStylesAndOrder)
{
    DialogHarness harness(dialog);

    struct Expected
    {
        int id;
        const char* className;
        LONG style;
    };
    const Expected controls[] = {
        {IDCANCEL, "Button", BS_PUSHBUTTON | WS_TABSTOP},
        {IDC_WRITE, "Button", BS_PUSHBUTTON | WS_TABSTOP},
        {IDC_DEVICE_LIST, "ComboBox", CBS_DROPDOWN | WS_VSCROLL | WS_TABSTOP},
        {IDC_CHIP_A, "Button", BS_AUTORADIOBUTTON | WS_GROUP},
        {IDC_CHIP_B, "Button", BS_AUTORADIOBUTTON},
        {IDC_CHIP_C, "Button", BS_AUTORADIOBUTTON},
        {-1, "Button", BS_GROUPBOX},
        {IDC_IMAGE_PATH, "Edit", ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP | WS_DISABLED},
        {IDC_BROWSE, "Button", BS_PUSHBUTTON | WS_TABSTOP},
        {IDC_MESSAGES, "ListBox", LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_BORDER | WS_TABSTOP},
        {IDC_EEPROM_SIZE, "ComboBox", CBS_DROPDOWN | CBS_SORT | WS_VSCROLL | WS_TABSTOP},
        {IDC_EEPROM_SIZE_LABEL, "Static", SS_LEFT | WS_GROUP},
        {IDC_VERIFY, "Button", BS_PUSHBUTTON | WS_TABSTOP},
    };
    HWND child = GetWindow(harness.Window(), GW_CHILD);
    for (const Expected& expected : controls)
    {
        ASSERT_NE(child, nullptr);
        // Combo boxes create an edit child of their own, which is not a sibling.
        char className[32] = {};
        GetClassNameA(child, className, sizeof className);
        EXPECT_EQ(GetDlgCtrlID(child) == 0xFFFF ? -1 : static_cast<int>(static_cast<short>(GetDlgCtrlID(child))),
                  expected.id);
        EXPECT_STREQ(expected.className, className) << expected.id;
        LONG style = GetWindowLongA(child, GWL_STYLE);
        // The focused Exit button is the default one; that is Windows' doing, not the template's.
        if (expected.id == IDCANCEL && (style & 0xF) == BS_DEFPUSHBUTTON)
        {
            style = (style & ~0xF) | BS_PUSHBUTTON;
        }
        // The initial hide of the size controls clears WS_VISIBLE; everything else is as the template.
        const LONG templateStyle =
            expected.style | WS_CHILD |
            ((expected.id == IDC_EEPROM_SIZE || expected.id == IDC_EEPROM_SIZE_LABEL) ? 0 : WS_VISIBLE);
        // Controls turn their own border and scroll bar bits on and off, and a
        // checked radio button becomes a tab stop, so those bits are not compared.
        const bool isRadio = expected.style == BS_AUTORADIOBUTTON || expected.style == (BS_AUTORADIOBUTTON | WS_GROUP);
        const LONG compared = 0xFFFF | WS_CHILD | WS_VISIBLE | WS_GROUP | WS_DISABLED | (isRadio ? 0 : WS_TABSTOP);
        EXPECT_EQ(style & compared, templateStyle & compared) << "control " << expected.id;
        child = GetWindow(child, GW_HWNDNEXT);
    }
    EXPECT_EQ(child, nullptr);

    char caption[32] = {};
    GetWindowTextA(harness.Window(), caption, sizeof caption);
    EXPECT_STREQ("Kelvra", caption);
    EXPECT_TRUE(GetWindowLongA(harness.Window(), GWL_EXSTYLE) & WS_EX_APPWINDOW);
    EXPECT_NE(dialog.AppIcon, nullptr);
    EXPECT_EQ(SendMessageA(harness.Window(), WM_GETICON, ICON_BIG, 0), reinterpret_cast<LRESULT>(dialog.AppIcon));
    EXPECT_EQ(SendMessageA(harness.Window(), WM_QUERYDRAGICON, 0, 0), reinterpret_cast<LRESULT>(dialog.AppIcon));
}

TEST_F(DialogTest, FamilyButtonsShowSizeControlsOnlyForFamilyCAndAlwaysEmptyThePath)
{
    DialogHarness harness(dialog);
    // B twice: clicking the button that is already checked still empties the path.
    for (const int button : {IDC_CHIP_C, IDC_CHIP_B, IDC_CHIP_B, IDC_CHIP_A})
    {
        dialog.ImagePath = "C:\\images\\a.hex";
        dialog.UpdateData(FALSE);
        harness.Click(button);
        const int family = button - IDC_CHIP_A;
        EXPECT_EQ(dialog.ChipFamily, family);
        EXPECT_TRUE(harness.IsChecked(button));
        EXPECT_EQ(harness.IsVisible(IDC_EEPROM_SIZE), family == 2);
        EXPECT_EQ(harness.IsVisible(IDC_EEPROM_SIZE_LABEL), family == 2);
        EXPECT_EQ(harness.Text(IDC_IMAGE_PATH), "");
        EXPECT_TRUE(dialog.ImagePath.IsEmpty());
    }
}

TEST_F(DialogTest, SizeSelectionSurvivesARoundTripThroughOtherFamilies)
{
    DialogHarness harness(dialog);

    harness.Click(IDC_CHIP_C);
    harness.SelectSize(2);
    EXPECT_EQ(dialog.EepromSize, 1024u);

    harness.Click(IDC_CHIP_A);
    harness.Click(IDC_CHIP_C);
    EXPECT_EQ(harness.CurrentSelection(IDC_EEPROM_SIZE), 2);
    EXPECT_EQ(harness.Text(IDC_EEPROM_SIZE), KELVRA_SIZE_ROW_24C08);
    EXPECT_EQ(dialog.EepromSize, 1024u);

    for (int index = 0; index < 4; ++index)
    {
        harness.SelectSize(index);
        EXPECT_EQ(dialog.EepromSize, CKelvraDlg::EepromSizeTable[index]);
    }
}

TEST_F(DialogTest, NoSelectionOrTypedSizeTextLeavesTheSizeAlone)
{
    DialogHarness harness(dialog);
    harness.Click(IDC_CHIP_C);
    harness.SelectSize(3);

    harness.SelectSize(-1);
    EXPECT_EQ(dialog.EepromSize, 2048u);

    // Typing into the combo box's edit field notifies an edit change, not a selection.
    HWND combo = harness.Control(IDC_EEPROM_SIZE);
    SetWindowTextA(combo, KELVRA_SIZE_ROW_24C02);
    SendMessageA(harness.Window(), WM_COMMAND, MAKEWPARAM(IDC_EEPROM_SIZE, CBN_EDITCHANGE),
                 reinterpret_cast<LPARAM>(combo));
    harness.Pump();
    EXPECT_EQ(dialog.EepromSize, 2048u);
}

TEST(MinimisedIcon, IsCentredRoundingTowardZero)
{
    EXPECT_EQ(CKelvraDlg::CentredIconPosition(100, 100, 32, 32).x, 34);
    EXPECT_EQ(CKelvraDlg::CentredIconPosition(100, 100, 32, 32).y, 34);
    EXPECT_EQ(CKelvraDlg::CentredIconPosition(0, 0, 32, 32).x, -15);
    EXPECT_EQ(CKelvraDlg::CentredIconPosition(0, 0, 32, 32).y, -15);
    EXPECT_EQ(CKelvraDlg::CentredIconPosition(31, 33, 32, 32).x, 0);
    EXPECT_EQ(CKelvraDlg::CentredIconPosition(31, 33, 32, 32).y, 1);
}

TEST_F(DialogTest, MinimisedDialogDrawsItsIconAndOnlyThen)
{
    DialogHarness harness(dialog);
    MessageLog log;
    ShowWindow(harness.Window(), SW_MINIMIZE);
    ASSERT_TRUE(IsIconic(harness.Window()));
    // Drawing the icon starts with erasing its background.
    int erased = log.Count(WM_ICONERASEBKGND);
    SendMessageA(harness.Window(), WM_PAINT, 0, 0);
    EXPECT_EQ(log.Count(WM_ICONERASEBKGND), erased + 1);

    ShowWindow(harness.Window(), SW_RESTORE);
    harness.Pump();
    ASSERT_FALSE(IsIconic(harness.Window()));
    erased = log.Count(WM_ICONERASEBKGND);
    SendMessageA(harness.Window(), WM_PAINT, 0, 0);
    EXPECT_EQ(log.Count(WM_ICONERASEBKGND), erased);
}

TEST_F(DialogTest, EnterRightAfterStartClicksExit)
{
    const INT_PTR result = RunModalWhile(dialog, [](HWND, DWORD thread) { PressKeyInThread(thread, VK_RETURN); });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(dialog.m_hWnd, nullptr);
}

TEST_F(DialogTest, EscapeEndsTheDialog)
{
    const INT_PTR result = RunModalWhile(dialog, [](HWND, DWORD thread) { PressKeyInThread(thread, VK_ESCAPE); });
    EXPECT_EQ(result, IDCANCEL);
}

TEST_F(DialogTest, EnterWithoutAFocusedPushButtonEndsThroughOk)
{
    const INT_PTR result = RunModalWhile(
        dialog,
        [](HWND window, DWORD thread)
        {
            // Controls that differ from the fields: no handler ran to copy them.
            SendMessageA(GetDlgItem(window, IDC_CHIP_A), BM_SETCHECK, BST_UNCHECKED, 0);
            SendMessageA(GetDlgItem(window, IDC_CHIP_B), BM_SETCHECK, BST_CHECKED, 0);
            SetWindowTextA(GetDlgItem(window, IDC_IMAGE_PATH), "C:\\typed.hex");
            // Give the focus to the message list, as a click into it would.
            SendMessageA(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(window, IDC_MESSAGES)), TRUE);
            PressKeyInThread(thread, VK_RETURN);
        });
    EXPECT_EQ(result, IDOK);
    // OnOK moved the controls into the fields before the dialog ended.
    EXPECT_EQ(dialog.ChipFamily, 1);
    EXPECT_EQ(std::string(dialog.ImagePath), "C:\\typed.hex");
}
}  // namespace
