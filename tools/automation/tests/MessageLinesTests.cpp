#include <gtest/gtest.h>

#include "MessageLines.h"

using namespace KelvraAutomation;

namespace {

const std::vector<std::string> VerifiedImage = {"Verify Success!", "", "VID:0x845e", "PID:0x0001",
                                                "Product String:Panel"};

TEST(FinalLineOf, ProgressAloneEndsNothing)
{
    EXPECT_FALSE(FinalLineOf(OperationKind::Write, {"Writing ........"}));
    EXPECT_FALSE(FinalLineOf(OperationKind::Verify, {"Verifying ........"}));
    EXPECT_FALSE(FinalLineOf(OperationKind::WriteThenVerify, {}));
}

TEST(FinalLineOf, WriteEndsAtItsOutcome)
{
    EXPECT_EQ(FinalLineOf(OperationKind::Write, {"Writing ........", "Write Success!"}), "Write Success!");
    EXPECT_EQ(FinalLineOf(OperationKind::Write, {"Writing ........", "Write Fail!"}), "Write Fail!");
}

TEST(FinalLineOf, RefusalsEndEveryKind)
{
    for (OperationKind kind : {OperationKind::Write, OperationKind::Verify, OperationKind::WriteThenVerify})
    {
        EXPECT_EQ(FinalLineOf(kind, {"Please Plug-in Vantrel Usb Device!"}), "Please Plug-in Vantrel Usb Device!");
        EXPECT_EQ(FinalLineOf(kind, {"Please Select Hex File!"}), "Please Select Hex File!");
    }
}

TEST(FinalLineOf, AWriteOutcomeDoesNotEndAVerify)
{
    EXPECT_FALSE(FinalLineOf(OperationKind::Verify, {"Writing ........", "Write Success!"}));
    EXPECT_FALSE(FinalLineOf(OperationKind::Verify, {"Write Fail!"}));
}

TEST(FinalLineOf, AVerifyOutcomeDoesNotEndAWrite)
{
    EXPECT_FALSE(FinalLineOf(OperationKind::Write, VerifiedImage));
}

TEST(FinalLineOf, WriteThenVerifyGoesOnPastWriteSuccess)
{
    EXPECT_FALSE(FinalLineOf(OperationKind::WriteThenVerify, {"Writing ........", "Write Success!"}));
    EXPECT_EQ(FinalLineOf(OperationKind::WriteThenVerify, VerifiedImage), "Verify Success!");
    EXPECT_EQ(FinalLineOf(OperationKind::WriteThenVerify, {"Verifying ........", "Verify Fail!"}), "Verify Fail!");
}

TEST(FinalLineOf, WriteThenVerifyEndsAtAFailedWrite)
{
    EXPECT_EQ(FinalLineOf(OperationKind::WriteThenVerify, {"Writing ........", "Write Fail!"}), "Write Fail!");
}

TEST(FinalLineOf, VerifySuccessIsFoundAheadOfTheReport)
{
    EXPECT_EQ(FinalLineOf(OperationKind::Verify, VerifiedImage), "Verify Success!");
}

TEST(FinalLineOf, LinesMustMatchWhole)
{
    EXPECT_FALSE(FinalLineOf(OperationKind::Write, {"Write Success! "}));
    EXPECT_FALSE(FinalLineOf(OperationKind::Write, {"write success!"}));
    EXPECT_FALSE(FinalLineOf(OperationKind::Verify, {"Serial Number:Verify Fail!"}));
}

}  // namespace
