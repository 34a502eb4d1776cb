// kelvra-automation.exe as a script runs it, against the real Kelvra.exe.
#include <gtest/gtest.h>

#include <algorithm>

#include "TestProcesses.h"

namespace {

const std::string Settings = "[KELVRA]\r\nVID=845e\r\nPID=0001\r\nAUTOVERIFY=0\r\n";

// The program writes text-mode output: lines end in CR LF on Windows.
std::string WithoutCarriageReturns(std::string text)
{
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

size_t LineCount(const std::string& text)
{
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

TEST(AutomationTool, AMistypedCommandIsOneLineOnStderr)
{
    const ToolRun run = RunAutomationTool({"devices", "flash"});
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(LineCount(WithoutCarriageReturns(run.err)), 1u);
    EXPECT_NE(run.err.find("unknown command \"flash\""), std::string::npos);
}

TEST(AutomationTool, AMissingWindowIsOneLineOnStderr)
{
    const ToolRun run = RunAutomationTool({"--pid", "999999", "wait-ready", "0.5", "devices"});
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(WithoutCarriageReturns(run.err),
              "kelvra-automation: wait-ready: no Kelvra window of process 999999 appeared within 0.5 s\n");
}

TEST(AutomationTool, RunsASequenceAndExits)
{
    KelvraProcess kelvra(Settings);
    kelvra.Folder().WriteFile("image.hex", std::string(256, '\x5a'));
    const std::string image = kelvra.Folder().PathOf("image.hex");
    const std::string pid = std::to_string(kelvra.Id());

    const ToolRun run = RunAutomationTool({"--pid", pid, "wait-ready", "30", "devices", "family", "C", "size",
                                           "24C16", "browse", image, "path", "buttons", "write", "verify",
                                           "messages"});
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(WithoutCarriageReturns(run.out), "* VID_845e&PID_0001\n" + image +
                                                   "\nWrite: enabled\nVerify: enabled\nWrite Success!\n"
                                                   "Verify Success!\nVerifying ........\nVerify Success!\n\n");

    const ToolRun exit = RunAutomationTool({"--pid", pid, "exit"});
    EXPECT_EQ(exit.err, "");
    EXPECT_EQ(exit.exitCode, 0u);
    EXPECT_TRUE(kelvra.HasEnded());
}

TEST(AutomationTool, StopsAtTheFirstFailingStep)
{
    KelvraProcess kelvra(Settings);
    const std::string pid = std::to_string(kelvra.Id());

    // The size list is hidden for VT-A, so "size" fails and "family C" never runs.
    const ToolRun run = RunAutomationTool({"--pid", pid, "wait-ready", "30", "path", "size", "1", "family", "C"});
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(WithoutCarriageReturns(run.out), "\n");
    EXPECT_EQ(WithoutCarriageReturns(run.err),
              "kelvra-automation: size: the EEPROM size list is hidden; it shows for VT-C only\n");

    const ToolRun sizes = RunAutomationTool({"--pid", pid, "family", "B"});
    EXPECT_EQ(sizes.exitCode, 0u);
}

}  // namespace
