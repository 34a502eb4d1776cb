// Writes through the emulated libraries, checked against their call log and chip files.
#include "ProgrammingHarness.h"

namespace
{
using Lines = std::vector<std::string>;

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMilliseconds)
{
    return PumpMessagesUntil(nullptr, condition, timeoutMilliseconds);
}

void ExpectPacedAtLeast(const LoggedCall& earlier, const LoggedCall& later, long long microseconds)
{
    EXPECT_GE(later.microseconds - earlier.microseconds, microseconds)
        << earlier.function << " -> " << later.function << " " << later.arguments.size();
}

TEST_F(ProgrammingTest, PreconditionLinesComeFirstAndCallNoLibrary)
{
    folder.WriteFile(std::string(AfxGetApp()->m_pszAppName) + ".ini", "[KELVRA]\n");
    Start();
    // The device test comes before the path test.
    EXPECT_EQ(Press(IDC_WRITE), Lines{KelvraText::NoDevice});
    EXPECT_EQ(Press(IDC_VERIFY), Lines{KelvraText::NoDevice});
    harness.reset();

    WriteSettings(0);
    CKelvraDlg withDevice;
    DialogHarness secondHarness(withDevice);
    secondHarness.Click(IDC_WRITE);
    secondHarness.PumpUntil([&] { return !secondHarness.Messages().empty(); });
    EXPECT_EQ(secondHarness.Messages(), Lines{KelvraText::NoImage});
    secondHarness.Click(IDC_VERIFY);
    secondHarness.PumpUntil([&] { return !secondHarness.Messages().empty(); });
    EXPECT_EQ(secondHarness.Messages(), Lines{KelvraText::NoImage});
    EXPECT_FALSE(withDevice.BusyFlag);
    EXPECT_TRUE(Calls().empty());
}

TEST_F(ProgrammingTest, Family0WritesSixtyFourPacedWordsOfAShortImage)
{
    RealChipPacing realPacing;
    Start();
    const std::string image = CountingBytes(100);
    ChooseImage(image);
    EXPECT_EQ(Press(IDC_WRITE), (Lines{KelvraText::Writing, KelvraText::WriteSuccess}));

    const auto calls = Calls();
    ASSERT_EQ(calls.size(), 66u);
    const LoggedCall& open = calls.front();
    EXPECT_EQ(open.function, "StartDeviceDetection");
    ASSERT_EQ(open.arguments.size(), 12u);
    EXPECT_EQ(open.ArgumentValue(0), reinterpret_cast<unsigned long long>(dialog.m_hWnd));
    for (size_t zero = 1; zero <= 9; ++zero)
    {
        EXPECT_EQ(open.ArgumentValue(zero), 0u);
    }
    EXPECT_EQ(open.ArgumentValue(10), 0x845Eu);
    EXPECT_EQ(open.ArgumentValue(11), WineDeviceKey);

    const std::string padded = image + std::string(28, '\0');
    for (unsigned index = 0; index < 64; ++index)
    {
        const LoggedCall& write = calls[1 + index];
        ASSERT_EQ(write.function, "WriteEEPROM");
        EXPECT_EQ(write.ArgumentValue(0), index);
        const unsigned word =
            static_cast<unsigned char>(padded[2 * index]) | (static_cast<unsigned char>(padded[2 * index + 1]) << 8);
        EXPECT_EQ(write.ArgumentValue(1), word) << index;
        ExpectPacedAtLeast(calls[index], write, index == 0 ? 30000 : 20000);
    }
    EXPECT_EQ(calls.back().function, "CloseDevice");
    ExpectPacedAtLeast(calls[64], calls.back(), 20000);
    EXPECT_EQ(ChipContents("VT_HIDA"), padded);
    ExpectRestored();
}

TEST_F(ProgrammingTest, FamiliesOneAndTwoWriteTheirSizeInOneBurn)
{
    Start();
    ChooseFamily(1);
    ChooseImage(CountingBytes(100));
    EXPECT_EQ(Press(IDC_WRITE), (Lines{KelvraText::Writing, KelvraText::WriteSuccess}));
    EXPECT_EQ(ChipContents("VT_HIDB"), CountingBytes(100) + std::string(156, '\0'));

    ChooseFamily(2);
    harness->SelectSize(3);
    const std::string longImage = CountingBytes(3000);
    ChooseImage(longImage);
    EXPECT_EQ(Press(IDC_WRITE), (Lines{KelvraText::Writing, KelvraText::WriteSuccess}));
    EXPECT_EQ(ChipContents("VT_HIDC"), longImage.substr(0, 2048));

    const auto calls = Calls();
    std::vector<std::string> names;
    for (const LoggedCall& call : calls)
    {
        names.push_back(call.library + " " + call.function);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"VT_HIDB rmDeviceStart", "VT_HIDB rmBurnEEPROM", "VT_HIDB rmDeviceClose",
                                               "VT_HIDC rmDeviceStart", "VT_HIDC rmSetEEPROMSize",
                                               "VT_HIDC rmBurnEEPROM", "VT_HIDC rmDeviceClose"}));
    EXPECT_EQ(calls[0].ArgumentValue(0), 0x845Eu);
    EXPECT_EQ(calls[0].ArgumentValue(1), WineDeviceKey);
    EXPECT_EQ(calls[0].ArgumentValue(2), reinterpret_cast<unsigned long long>(dialog.m_hWnd));
    EXPECT_EQ(calls[1].ArgumentValue(3), 256u);
    EXPECT_EQ(calls[4].ArgumentValue(0), 1u);
    EXPECT_EQ(calls[4].ArgumentValue(1), 2048u);
    EXPECT_EQ(calls[5].ArgumentValue(0), 1u);
    EXPECT_EQ(calls[5].ArgumentValue(1), 0u);
    EXPECT_EQ(calls[5].ArgumentValue(3), 2048u);
    ExpectRestored();
}

TEST_F(ProgrammingTest, AFamily0WriteBetweenFamily2WritesKeepsTheChosenSize)
{
    Start();
    ChooseFamily(2);
    harness->SelectSize(2);
    ChooseImage(CountingBytes(2048));
    Press(IDC_WRITE);
    ChooseFamily(0);
    ChooseImage(CountingBytes(128));
    Press(IDC_WRITE);
    ChooseFamily(2);
    ChooseImage(CountingBytes(2048));
    EXPECT_EQ(Press(IDC_WRITE), (Lines{KelvraText::Writing, KelvraText::WriteSuccess}));

    const auto sizes = CallsOf(Calls(), "rmSetEEPROMSize");
    ASSERT_EQ(sizes.size(), 2u);
    EXPECT_EQ(sizes[0].ArgumentValue(1), 1024u);
    EXPECT_EQ(sizes[1].ArgumentValue(1), 1024u);
    EXPECT_EQ(dialog.EepromSize, 1024u);
}

TEST_F(ProgrammingTest, TwoClicksWithinTheTimerDelayRunOneWrite)
{
    Start();
    ChooseFamily(1);
    ChooseImage(CountingBytes(256));
    SendMessageA(harness->Control(IDC_WRITE), BM_CLICK, 0, 0);
    Press(IDC_WRITE);
    // The second click re-armed the one timer, which the write then killed.
    EXPECT_FALSE(KillTimer(dialog.m_hWnd, WRITE_TIMER_ID)) << "a write timer is still armed";
    EXPECT_EQ(CallsOf(Calls(), "rmDeviceStart").size(), 1u);
}

TEST_F(ProgrammingTest, TimerThatFiresDuringAnOperationIsServedAfterIt)
{
    Start();
    ChooseFamily(1);
    ChooseImage(CountingBytes(256));
    MessageLog log;
    dialog.BusyFlag = TRUE;  // as while another operation runs
    harness->Click(IDC_WRITE);
    ASSERT_TRUE(harness->PumpUntil([&] { return log.Count(WM_TIMER, WRITE_TIMER_ID) > 0; }, 5000));
    EXPECT_TRUE(Calls().empty());
    EXPECT_TRUE(harness->Messages().empty());

    dialog.BusyFlag = FALSE;
    EXPECT_TRUE(harness->PumpUntil([&] { return harness->Messages().size() == 2; }, 5000));
    EXPECT_EQ(harness->Messages(), (Lines{KelvraText::Writing, KelvraText::WriteSuccess}));
    EXPECT_EQ(CallsOf(Calls(), "rmBurnEEPROM").size(), 1u);
}

TEST_F(ProgrammingTest, AutoVerifyReplacesTheWriteLinesWithTheVerifyLines)
{
    WriteSettings(2);
    Start();
    ChooseFamily(1);
    ChooseImage(CountingBytes(256));
    EXPECT_EQ(Press(IDC_WRITE), (Lines{KelvraText::Verifying, KelvraText::VerifySuccess, ""}));
    const auto burns = CallsOf(Calls(), "rmBurnEEPROM");
    ASSERT_EQ(burns.size(), 2u);
    EXPECT_EQ(burns[0].ArgumentValue(0), 1u);
    EXPECT_EQ(burns[1].ArgumentValue(0), 0u);
    ExpectRestored();
}
TEST_F(ProgrammingTest, ClicksOnTheDisabledWriteButtonAreDroppedAndTheFocusComesBackToIt)
{
    // Clicks must arrive while the write runs: at the chip's pacing it lasts 1.3 s.
    RealChipPacing realPacing;
    folder.WriteFile("image.hex", CountingBytes(128));
    dialog.ImagePath = folder.PathOf("image.hex").c_str();
    MessageLog log;
    HWND write = nullptr;
    bool clickedWhileDisabled = false;
    HWND focusAfterWrite = nullptr;
    bool closedByEscape = false;
    const INT_PTR result = RunModalWhile(dialog,
                                         [&](HWND window, DWORD thread)
                                         {
                                             write = GetDlgItem(window, IDC_WRITE);
                                             PostClick(write);
                                             if (!WaitFor([&] { return !IsWindowEnabled(write); }, 10000))
                                             {
                                                 return;
                                             }
                                             for (int click = 0; click < 5; ++click)
                                             {
                                                 PostClick(write);
                                             }
                                             clickedWhileDisabled = !IsWindowEnabled(write);
                                             const bool ended = WaitFor(
                                                 [&]
                                                 {
                                                     const auto lines = ListBoxLines(GetDlgItem(window, IDC_MESSAGES));
                                                     return !lines.empty() && lines.back() == KelvraText::WriteSuccess;
                                                 },
                                                 20000);
                                             if (!ended)
                                             {
                                                 return;
                                             }
                                             GUITHREADINFO info = {};
                                             info.cbSize = sizeof info;
                                             GetGUIThreadInfo(thread, &info);
                                             focusAfterWrite = info.hwndFocus;
                                             // Posted after the clicks, so served after any of them that got through.
                                             PressKeyInThread(thread, VK_ESCAPE);
                                             closedByEscape = WaitFor([&] { return !IsWindow(window); }, 5000);
                                         });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_TRUE(clickedWhileDisabled);
    EXPECT_EQ(focusAfterWrite, write);
    EXPECT_TRUE(closedByEscape);
    EXPECT_EQ(log.Count(WM_COMMAND, MAKEWPARAM(IDC_WRITE, BN_CLICKED)), 1);
    EXPECT_EQ(CallsOf(Calls(), "StartDeviceDetection").size(), 1u);
}

TEST_F(ProgrammingTest, ExitClickedDuringAWriteEndsTheDialogOnceTheWriteHasEnded)
{
    // Clicks must arrive while the write runs: at the chip's pacing it lasts 1.3 s.
    RealChipPacing realPacing;
    folder.WriteFile("image.hex", CountingBytes(128));
    dialog.ImagePath = folder.PathOf("image.hex").c_str();
    bool closed = false;
    const INT_PTR result = RunModalWhile(dialog,
                                         [&](HWND window, DWORD)
                                         {
                                             HWND write = GetDlgItem(window, IDC_WRITE);
                                             PostClick(write);
                                             if (!WaitFor([&] { return !IsWindowEnabled(write); }, 10000))
                                             {
                                                 return;
                                             }
                                             PostClick(write);
                                             PostClick(GetDlgItem(window, IDCANCEL));
                                             closed = WaitFor([&] { return !IsWindow(window); }, 15000);
                                         });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_TRUE(closed);
    EXPECT_EQ(ChipContents("VT_HIDA"), CountingBytes(128));
    const auto calls = Calls();
    EXPECT_EQ(CallsOf(calls, "StartDeviceDetection").size(), 1u);
    EXPECT_EQ(calls.back().function, "CloseDevice");
}
}  // namespace
