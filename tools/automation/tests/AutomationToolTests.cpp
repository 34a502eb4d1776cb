// kelvra-automation.exe as a script runs it, against the real Kelvra.exe.
#include <gtest/gtest.h>

#include <algorithm>

#include "ChildProcess.h"
#include "EndToEndTest.h"

namespace
{

using EndToEnd::EndToEndTest;

ProcessRun RunAutomationTool(const std::vector<std::string>& arguments)
{
    return RunProcess(EndToEnd::AutomationProgram(), arguments, "");
}

// The program writes text-mode output: lines end in CR LF on Windows.
std::string WithoutCarriageReturns(std::string text)
{
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

TEST(AutomationTool, AMistypedCommandIsOneLineOnStderr)
{
    const ProcessRun run = RunAutomationTool({"devices", "flash"});
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1);
    EXPECT_NE(run.err.find("unknown command \"flash\""), std::string::npos);
}

TEST(AutomationTool, AMissingWindowIsOneLineOnStderr)
{
    const ProcessRun run = RunAutomationTool({"--pid", "999999", "wait-ready", "0.5", "devices"});
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(WithoutCarriageReturns(run.err),
              "kelvra-automation: wait-ready: no Kelvra window of process 999999 appeared within 0.5 s\n");
}

TEST_F(EndToEndTest, AutomationToolRunsASequenceAndExits)
{
    Install();
    WriteSettings(EndToEnd::SettingsFor("845e", "0001", 0));
    const std::string image = WriteImage("image.hex", std::string(256, '\x5a'));
    const KelvraAutomation::KelvraWindow kelvra = Start();
    const std::string pid = std::to_string(kelvra.ProcessId());

    const ProcessRun run =
        RunAutomationTool({"--pid", pid, "wait-ready", "30", "devices", "family", "C", "size", "24C16", "browse", image,
                           "path", "buttons", "write", "verify", "messages"});
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(WithoutCarriageReturns(run.out), "* VID_845e&PID_0001\n" + image + "\nWrite: enabled\nVerify: enabled\n" +
                                                   KelvraText::WriteSuccess + "\n" + KelvraText::VerifySuccess + "\n" +
                                                   KelvraText::Verifying + "\n" + KelvraText::VerifySuccess + "\n\n");

    const ProcessRun exit = RunAutomationTool({"--pid", pid, "exit"});
    EXPECT_EQ(exit.err, "");
    EXPECT_EQ(exit.exitCode, 0u);
    EXPECT_FALSE(IsWindow(kelvra.Handle()));
}

TEST_F(EndToEndTest, AutomationToolStopsAtTheFirstFailingStep)
{
    Install();
    WriteSettings(EndToEnd::SettingsFor("845e", "0001", 0));
    const std::string pid = std::to_string(Start().ProcessId());

    // The size list is hidden for VT-A, so "size" fails and "family C" never runs.
    const ProcessRun run = RunAutomationTool({"--pid", pid, "wait-ready", "30", "path", "size", "1", "family", "C"});
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(WithoutCarriageReturns(run.out), "\n");
    EXPECT_EQ(WithoutCarriageReturns(run.err),
              "kelvra-automation: size: the EEPROM size list is hidden; it shows for VT-C only\n");

    const ProcessRun family = RunAutomationTool({"--pid", pid, "family", "B"});
    EXPECT_EQ(family.exitCode, 0u);
}

}  // namespace
