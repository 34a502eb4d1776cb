#include <gtest/gtest.h>

#include <sstream>

#include "CommandLine.h"
#include "Commands.h"
#include "KelvraTexts.h"

using namespace KelvraAutomation;

namespace
{

Invocation Parse(const std::vector<std::string>& arguments)
{
    return ParseInvocation(arguments);
}

std::string UsageErrorOf(const std::vector<std::string>& arguments)
{
    try
    {
        ParseInvocation(arguments);
    }
    catch (const UsageError& error)
    {
        return error.what();
    }
    return "(accepted)";
}

TEST(ParseInvocation, ASequenceOfSteps)
{
    const auto invocation = Parse({"wait-ready", "20", "family", "A", "browse", "C:\\images\\a.hex", "write",
                                   "--auto-verify", "messages", "exit"});
    ASSERT_EQ(invocation.steps.size(), 6u);
    EXPECT_EQ(invocation.steps[0].command, Command::WaitReady);
    EXPECT_EQ(invocation.steps[0].timeout, Milliseconds(20000));
    EXPECT_EQ(invocation.steps[1].command, Command::Family);
    EXPECT_EQ(invocation.steps[1].family, ChipFamily::A);
    EXPECT_EQ(invocation.steps[2].command, Command::Browse);
    EXPECT_EQ(invocation.steps[2].text, "C:\\images\\a.hex");
    EXPECT_EQ(invocation.steps[3].command, Command::Write);
    EXPECT_TRUE(invocation.steps[3].autoVerify);
    EXPECT_EQ(invocation.steps[4].command, Command::Messages);
    EXPECT_EQ(invocation.steps[5].command, Command::Exit);
    EXPECT_EQ(invocation.processId, 0u);
}

TEST(ParseInvocation, OptionalArgumentsLeaveTheNextCommandAlone)
{
    const auto invocation = Parse({"wait-ready", "devices", "write", "verify", "device-change", "removal", "path"});
    ASSERT_EQ(invocation.steps.size(), 6u);
    EXPECT_EQ(invocation.steps[0].timeout, Milliseconds(0));
    EXPECT_EQ(invocation.steps[1].command, Command::Devices);
    EXPECT_FALSE(invocation.steps[2].autoVerify);
    EXPECT_EQ(invocation.steps[3].command, Command::Verify);
    EXPECT_EQ(invocation.steps[4].event, DeviceEvent::Removal);
    EXPECT_EQ(invocation.steps[4].notification, NotificationKind::Hid);
    EXPECT_EQ(invocation.steps[5].command, Command::Path);
}

TEST(ParseInvocation, ProcessIdBeforeTheCommands)
{
    EXPECT_EQ(Parse({"--pid", "1234", "devices"}).processId, 1234u);
    EXPECT_NE(UsageErrorOf({"--pid", "x", "devices"}).find("not a process id"), std::string::npos);
    EXPECT_NE(UsageErrorOf({"--pid", "0", "devices"}).find("not a process id"), std::string::npos);
    EXPECT_NE(UsageErrorOf({"--pid"}).find("process id"), std::string::npos);
}

TEST(ParseInvocation, FamilyLetters)
{
    EXPECT_EQ(Parse({"family", "b"}).steps[0].family, ChipFamily::B);
    EXPECT_EQ(Parse({"family", "VT-C"}).steps[0].family, ChipFamily::C);
    EXPECT_NE(UsageErrorOf({"family", "D"}).find("not A, B or C"), std::string::npos);
    EXPECT_NE(UsageErrorOf({"family"}).find("family needs"), std::string::npos);
}

TEST(ParseInvocation, SizeByRowOrText)
{
    const auto byRow = Parse({"size", "2"}).steps[0];
    EXPECT_EQ(byRow.sizeIndex, 2);
    const auto byText = Parse({"size", KELVRA_SIZE_ROW_24C04}).steps[0];
    EXPECT_EQ(byText.sizeIndex, -1);
    EXPECT_EQ(byText.text, KELVRA_SIZE_ROW_24C04);
    EXPECT_EQ(Parse({"size", "24C16"}).steps[0].sizeIndex, -1);
}

TEST(ParseInvocation, OperationTimeouts)
{
    const auto invocation =
        Parse({"write", "--timeout", "2.5", "--auto-verify", "verify", "--timeout", "7", "exit", "--timeout", "3"});
    EXPECT_EQ(invocation.steps[0].timeout, Milliseconds(2500));
    EXPECT_TRUE(invocation.steps[0].autoVerify);
    EXPECT_EQ(invocation.steps[1].timeout, Milliseconds(7000));
    EXPECT_EQ(invocation.steps[2].timeout, Milliseconds(3000));
}

TEST(ParseInvocation, VerifyTakesNoAutoVerify)
{
    EXPECT_NE(UsageErrorOf({"verify", "--auto-verify"}).find("unknown command \"--auto-verify\""), std::string::npos);
}

TEST(ParseInvocation, BadSeconds)
{
    EXPECT_NE(UsageErrorOf({"write", "--timeout", "0"}).find("not a number of seconds"), std::string::npos);
    EXPECT_NE(UsageErrorOf({"write", "--timeout", "-3"}).find("not a number of seconds"), std::string::npos);
    EXPECT_NE(UsageErrorOf({"write", "--timeout", "5000"}).find("not a number of seconds"), std::string::npos);
    EXPECT_NE(UsageErrorOf({"write", "--timeout", "nan"}).find("not a number of seconds"), std::string::npos);
    EXPECT_NE(UsageErrorOf({"write", "--timeout"}).find("needs a number of seconds"), std::string::npos);
    EXPECT_NE(UsageErrorOf({"wait-ready", "-1"}).find("not a number of seconds"), std::string::npos);
}

TEST(ParseInvocation, DeviceChangeKinds)
{
    const auto invocation = Parse({"device-change", "arrival", "other-class", "device-change", "removal", "other-type",
                                   "device-change", "arrival", "hid"});
    EXPECT_EQ(invocation.steps[0].event, DeviceEvent::Arrival);
    EXPECT_EQ(invocation.steps[0].notification, NotificationKind::OtherClass);
    EXPECT_EQ(invocation.steps[1].notification, NotificationKind::OtherType);
    EXPECT_EQ(invocation.steps[2].notification, NotificationKind::Hid);
    EXPECT_NE(UsageErrorOf({"device-change", "plugged"}).find("not arrival or removal"), std::string::npos);
}

TEST(ParseInvocation, BrowseNeedsAPath)
{
    EXPECT_NE(UsageErrorOf({"browse"}).find("browse needs a file path"), std::string::npos);
    EXPECT_NE(UsageErrorOf({"browse", ""}).find("empty"), std::string::npos);
}

TEST(ParseInvocation, UnknownWordsAreRefused)
{
    EXPECT_NE(UsageErrorOf({"devices", "flash"}).find("unknown command \"flash\""), std::string::npos);
    EXPECT_NE(UsageErrorOf({"--verbose", "devices"}).find("unknown option \"--verbose\""), std::string::npos);
    EXPECT_NE(UsageErrorOf({}).find("no command"), std::string::npos);
}

TEST(RunCommandLine, UsageErrorIsOneLineAndStatusOne)
{
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(RunCommandLine({"devices", "flash"}, out, err), 1);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str(), "kelvra-automation: unknown command \"flash\" (see --help)\n");
}

TEST(RunCommandLine, HelpListsEveryCommand)
{
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(RunCommandLine({"--help"}, out, err), 0);
    for (const char* command : {"wait-ready", "devices", "family", "size", "browse", "browse-cancel", "path", "write",
                                "verify", "messages", "buttons", "device-change", "exit"})
    {
        EXPECT_NE(out.str().find(std::string("  ") + command + " "), std::string::npos) << command;
    }
    EXPECT_EQ(err.str(), "");
}

TEST(RunCommandLine, NothingRunsWhenALaterStepIsMistyped)
{
    std::ostringstream out;
    std::ostringstream err;
    // "exit" would press Exit on a running Kelvra; the typo after it must stop the whole call first.
    EXPECT_EQ(RunCommandLine({"--pid", "999999999", "exit", "famliy", "A"}, out, err), 1);
    EXPECT_NE(err.str().find("unknown command \"famliy\""), std::string::npos);
}

}  // namespace
