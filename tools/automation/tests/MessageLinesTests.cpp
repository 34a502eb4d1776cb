#include <gtest/gtest.h>

#include "MessageLines.h"

using namespace KelvraAutomation;

namespace
{

using namespace KelvraText;

TEST(FinalLineOf, IsTheWholeOutcomeLineOfTheKindPressedOrARefusal)
{
    const std::vector<std::string> verifiedImage = {VerifySuccess, "", "VID:0x845e", "PID:0x0001",
                                                    "Product String:Panel"};
    const struct
    {
        OperationKind kind;
        std::vector<std::string> lines;
        const char* finalLine;  // null: the operation has not ended
    } cases[] = {
        {OperationKind::Write, {Writing}, nullptr},
        {OperationKind::Verify, {Verifying}, nullptr},
        {OperationKind::WriteThenVerify, {}, nullptr},
        {OperationKind::Write, {Writing, WriteSuccess}, WriteSuccess},
        {OperationKind::Write, {Writing, WriteFail}, WriteFail},
        {OperationKind::Write, verifiedImage, nullptr},
        {OperationKind::Verify, {Writing, WriteSuccess}, nullptr},
        {OperationKind::Verify, {WriteFail}, nullptr},
        {OperationKind::Verify, verifiedImage, VerifySuccess},
        {OperationKind::WriteThenVerify, {Writing, WriteSuccess}, nullptr},
        {OperationKind::WriteThenVerify, {Writing, WriteFail}, WriteFail},
        {OperationKind::WriteThenVerify, verifiedImage, VerifySuccess},
        {OperationKind::WriteThenVerify, {Verifying, VerifyFail}, VerifyFail},
        {OperationKind::Write, {"Write Success! "}, nullptr},
        {OperationKind::Write, {"write success!"}, nullptr},
        {OperationKind::Verify, {"Serial Number:Verify Fail!"}, nullptr},
    };
    for (const auto& entry : cases)
    {
        const auto found = FinalLineOf(entry.kind, entry.lines);
        EXPECT_EQ(found.value_or("(none)"), entry.finalLine ? entry.finalLine : "(none)")
            << OperationName(entry.kind) << ": " << (entry.lines.empty() ? "" : entry.lines.back());
    }
    for (OperationKind kind : {OperationKind::Write, OperationKind::Verify, OperationKind::WriteThenVerify})
    {
        EXPECT_EQ(FinalLineOf(kind, {NoDevice}), NoDevice);
        EXPECT_EQ(FinalLineOf(kind, {NoImage}), NoImage);
    }
}

}  // namespace
