#include <gtest/gtest.h>

#include "MessageLines.h"

using namespace KelvraAutomation;

namespace {

const std::vector<std::string> VerifiedImage = {KelvraText::VerifySuccess, "", "VID:0x845e", "PID:0x0001",
                                                "Product String:Panel"};

TEST(FinalLineOf, ProgressAloneEndsNothing)
{
    EXPECT_FALSE(FinalLineOf(OperationKind::Write, {KelvraText::Writing}));
    EXPECT_FALSE(FinalLineOf(OperationKind::Verify, {KelvraText::Verifying}));
    EXPECT_FALSE(FinalLineOf(OperationKind::WriteThenVerify, {}));
}

TEST(FinalLineOf, WriteEndsAtItsOutcome)
{
    EXPECT_EQ(FinalLineOf(OperationKind::Write, {KelvraText::Writing, KelvraText::WriteSuccess}), KelvraText::WriteSuccess);
    EXPECT_EQ(FinalLineOf(OperationKind::Write, {KelvraText::Writing, KelvraText::WriteFail}), KelvraText::WriteFail);
}

TEST(FinalLineOf, RefusalsEndEveryKind)
{
    for (OperationKind kind : {OperationKind::Write, OperationKind::Verify, OperationKind::WriteThenVerify})
    {
        EXPECT_EQ(FinalLineOf(kind, {KelvraText::NoDevice}), KelvraText::NoDevice);
        EXPECT_EQ(FinalLineOf(kind, {KelvraText::NoImage}), KelvraText::NoImage);
    }
}

TEST(FinalLineOf, AWriteOutcomeDoesNotEndAVerify)
{
    EXPECT_FALSE(FinalLineOf(OperationKind::Verify, {KelvraText::Writing, KelvraText::WriteSuccess}));
    EXPECT_FALSE(FinalLineOf(OperationKind::Verify, {KelvraText::WriteFail}));
}

TEST(FinalLineOf, AVerifyOutcomeDoesNotEndAWrite)
{
    EXPECT_FALSE(FinalLineOf(OperationKind::Write, VerifiedImage));
}

TEST(FinalLineOf, WriteThenVerifyGoesOnPastWriteSuccess)
{
    EXPECT_FALSE(FinalLineOf(OperationKind::WriteThenVerify, {KelvraText::Writing, KelvraText::WriteSuccess}));
    EXPECT_EQ(FinalLineOf(OperationKind::WriteThenVerify, VerifiedImage), KelvraText::VerifySuccess);
    EXPECT_EQ(FinalLineOf(OperationKind::WriteThenVerify, {KelvraText::Verifying, KelvraText::VerifyFail}), KelvraText::VerifyFail);
}

TEST(FinalLineOf, WriteThenVerifyEndsAtAFailedWrite)
{
    EXPECT_EQ(FinalLineOf(OperationKind::WriteThenVerify, {KelvraText::Writing, KelvraText::WriteFail}), KelvraText::WriteFail);
}

TEST(FinalLineOf, VerifySuccessIsFoundAheadOfTheReport)
{
    EXPECT_EQ(FinalLineOf(OperationKind::Verify, VerifiedImage), KelvraText::VerifySuccess);
}

TEST(FinalLineOf, LinesMustMatchWhole)
{
    EXPECT_FALSE(FinalLineOf(OperationKind::Write, {"Write Success! "}));
    EXPECT_FALSE(FinalLineOf(OperationKind::Write, {"write success!"}));
    EXPECT_FALSE(FinalLineOf(OperationKind::Verify, {"Serial Number:Verify Fail!"}));
}

}  // namespace
