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
    EXPECT_EQ(Lines{KelvraText::NoDevice}, Press(IDC_WRITE));
    EXPECT_EQ(Lines{KelvraText::NoDevice}, Press(IDC_VERIFY));
    harness.reset();

    WriteSettings(0);
    CKelvraDlg withDevice;
    DialogHarness secondHarness(withDevice);
    secondHarness.Click(IDC_WRITE);
    secondHarness.PumpUntil([&] { return !secondHarness.Messages().empty(); });
    EXPECT_EQ(Lines{KelvraText::NoImage}, secondHarness.Messages());
    secondHarness.Click(IDC_VERIFY);
    secondHarness.PumpUntil([&] { return !secondHarness.Messages().empty(); });
    EXPECT_EQ(Lines{KelvraText::NoImage}, secondHarness.Messages());
    EXPECT_FALSE(withDevice.BusyFlag);
    EXPECT_TRUE(Calls().empty());
}

TEST_F(ProgrammingTest, Family0WritesSixtyFourPacedWordsOfAShortImage)
{
    Start();
    const std::string image = CountingBytes(100);
    ChooseImage(image);
    EXPECT_EQ((Lines{KelvraText::Writing, KelvraText::WriteSuccess}), Press(IDC_WRITE));

    const auto calls = Calls();
    ASSERT_EQ(66u, calls.size());
    const LoggedCall& open = calls.front();
    EXPECT_EQ("StartDeviceDetection", open.function);
    ASSERT_EQ(12u, open.arguments.size());
    EXPECT_EQ(reinterpret_cast<unsigned long long>(dialog.m_hWnd), open.ArgumentValue(0));
    for (size_t zero = 1; zero <= 9; ++zero)
        EXPECT_EQ(0u, open.ArgumentValue(zero));
    EXPECT_EQ(0x845Eu, open.ArgumentValue(10));
    EXPECT_EQ(WineDeviceKey, open.ArgumentValue(11));

    const std::string padded = image + std::string(28, '\0');
    for (unsigned index = 0; index < 64; ++index)
    {
        const LoggedCall& write = calls[1 + index];
        ASSERT_EQ("WriteEEPROM", write.function);
        EXPECT_EQ(index, write.ArgumentValue(0));
        const unsigned word = static_cast<unsigned char>(padded[2 * index]) |
                              (static_cast<unsigned char>(padded[2 * index + 1]) << 8);
        EXPECT_EQ(word, write.ArgumentValue(1)) << index;
        ExpectPacedAtLeast(calls[index], write, index == 0 ? 30000 : 20000);
    }
    EXPECT_EQ("CloseDevice", calls.back().function);
    ExpectPacedAtLeast(calls[64], calls.back(), 20000);
    EXPECT_EQ(padded, ChipContents("VT_HIDA"));
    ExpectRestored();
}

TEST_F(ProgrammingTest, FamiliesOneAndTwoWriteTheirSizeInOneBurn)
{
    Start();
    ChooseFamily(1);
    ChooseImage(CountingBytes(100));
    EXPECT_EQ((Lines{KelvraText::Writing, KelvraText::WriteSuccess}), Press(IDC_WRITE));
    EXPECT_EQ(CountingBytes(100) + std::string(156, '\0'), ChipContents("VT_HIDB"));

    ChooseFamily(2);
    harness->SelectSize(3);
    const std::string longImage = CountingBytes(3000);
    ChooseImage(longImage);
    EXPECT_EQ((Lines{KelvraText::Writing, KelvraText::WriteSuccess}), Press(IDC_WRITE));
    EXPECT_EQ(longImage.substr(0, 2048), ChipContents("VT_HIDC"));

    const auto calls = Calls();
    std::vector<std::string> names;
    for (const LoggedCall& call : calls)
        names.push_back(call.library + " " + call.function);
    EXPECT_EQ((std::vector<std::string>{"VT_HIDB rmDeviceStart", "VT_HIDB rmBurnEEPROM", "VT_HIDB rmDeviceClose",
                                        "VT_HIDC rmDeviceStart", "VT_HIDC rmSetEEPROMSize", "VT_HIDC rmBurnEEPROM",
                                        "VT_HIDC rmDeviceClose"}),
              names);
    EXPECT_EQ(0x845Eu, calls[0].ArgumentValue(0));
    EXPECT_EQ(WineDeviceKey, calls[0].ArgumentValue(1));
    EXPECT_EQ(reinterpret_cast<unsigned long long>(dialog.m_hWnd), calls[0].ArgumentValue(2));
    EXPECT_EQ(256u, calls[1].ArgumentValue(3));
    EXPECT_EQ(1u, calls[4].ArgumentValue(0));
    EXPECT_EQ(2048u, calls[4].ArgumentValue(1));
    EXPECT_EQ(1u, calls[5].ArgumentValue(0));
    EXPECT_EQ(0u, calls[5].ArgumentValue(1));
    EXPECT_EQ(2048u, calls[5].ArgumentValue(3));
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
    EXPECT_EQ((Lines{KelvraText::Writing, KelvraText::WriteSuccess}), Press(IDC_WRITE));

    const auto sizes = CallsOf(Calls(), "rmSetEEPROMSize");
    ASSERT_EQ(2u, sizes.size());
    EXPECT_EQ(1024u, sizes[0].ArgumentValue(1));
    EXPECT_EQ(1024u, sizes[1].ArgumentValue(1));
    EXPECT_EQ(1024u, dialog.EepromSize);
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
    EXPECT_EQ(1u, CallsOf(Calls(), "rmDeviceStart").size());
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
    EXPECT_EQ((Lines{KelvraText::Writing, KelvraText::WriteSuccess}), harness->Messages());
    EXPECT_EQ(1u, CallsOf(Calls(), "rmBurnEEPROM").size());
}

TEST_F(ProgrammingTest, AutoVerifyReplacesTheWriteLinesWithTheVerifyLines)
{
    WriteSettings(2);
    Start();
    ChooseFamily(1);
    ChooseImage(CountingBytes(256));
    EXPECT_EQ((Lines{KelvraText::Verifying, KelvraText::VerifySuccess, ""}), Press(IDC_WRITE));
    const auto burns = CallsOf(Calls(), "rmBurnEEPROM");
    ASSERT_EQ(2u, burns.size());
    EXPECT_EQ(1u, burns[0].ArgumentValue(0));
    EXPECT_EQ(0u, burns[1].ArgumentValue(0));
    ExpectRestored();
}
TEST_F(ProgrammingTest, ClicksOnTheDisabledWriteButtonAreDroppedAndTheFocusComesBackToIt)
{
    folder.WriteFile("image.hex", CountingBytes(128));
    dialog.ImagePath = folder.PathOf("image.hex").c_str();
    MessageLog log;
    HWND write = nullptr;
    bool clickedWhileDisabled = false;
    HWND focusAfterWrite = nullptr;
    bool closedByEscape = false;
    const INT_PTR result = RunModalWhile(dialog, [&](HWND window, DWORD thread) {
        write = GetDlgItem(window, IDC_WRITE);
        PostClick(write);
        if (!WaitFor([&] { return !IsWindowEnabled(write); }, 10000))
            return;
        for (int click = 0; click < 5; ++click)
            PostClick(write);
        clickedWhileDisabled = !IsWindowEnabled(write);
        const bool ended = WaitFor([&] {
            const auto lines = ListBoxLines(GetDlgItem(window, IDC_MESSAGES));
            return !lines.empty() && lines.back() == KelvraText::WriteSuccess;
        }, 20000);
        if (!ended)
            return;
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        GetGUIThreadInfo(thread, &info);
        focusAfterWrite = info.hwndFocus;
        // Posted after the clicks, so served after any of them that got through.
        PressKeyInThread(thread, VK_ESCAPE);
        closedByEscape = WaitFor([&] { return !IsWindow(window); }, 5000);
    });
    EXPECT_EQ(IDCANCEL, result);
    EXPECT_TRUE(clickedWhileDisabled);
    EXPECT_EQ(write, focusAfterWrite);
    EXPECT_TRUE(closedByEscape);
    EXPECT_EQ(1, log.Count(WM_COMMAND, MAKEWPARAM(IDC_WRITE, BN_CLICKED)));
    EXPECT_EQ(1u, CallsOf(Calls(), "StartDeviceDetection").size());
}

TEST_F(ProgrammingTest, ExitClickedDuringAWriteEndsTheDialogOnceTheWriteHasEnded)
{
    folder.WriteFile("image.hex", CountingBytes(128));
    dialog.ImagePath = folder.PathOf("image.hex").c_str();
    bool closed = false;
    const INT_PTR result = RunModalWhile(dialog, [&](HWND window, DWORD) {
        HWND write = GetDlgItem(window, IDC_WRITE);
        PostClick(write);
        if (!WaitFor([&] { return !IsWindowEnabled(write); }, 10000))
            return;
        PostClick(write);
        PostClick(GetDlgItem(window, IDCANCEL));
        closed = WaitFor([&] { return !IsWindow(window); }, 15000);
    });
    EXPECT_EQ(IDCANCEL, result);
    EXPECT_TRUE(closed);
    EXPECT_EQ(CountingBytes(128), ChipContents("VT_HIDA"));
    const auto calls = Calls();
    EXPECT_EQ(1u, CallsOf(calls, "StartDeviceDetection").size());
    EXPECT_EQ("CloseDevice", calls.back().function);
}
}  // namespace
