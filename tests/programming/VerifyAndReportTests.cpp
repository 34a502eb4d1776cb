// Verifies, and the identity report that follows a successful VT-A verify.
#include "ProgrammingHarness.h"

namespace
{
using Lines = std::vector<std::string>;

TEST_F(ProgrammingTest, Family0VerifyOfAFullIdentityListsItInTableOrder)
{
    Start();
    const std::string image = IdentityImage(0x6707, "Vantrel Pad", "Vantrel Ltd", "SN0042");
    SeedChip("VT_HIDA", image);
    ChooseImage(image);
    EXPECT_EQ(Press(IDC_VERIFY), VerifiedIdentity("Vantrel Pad", "Vantrel Ltd", "SN0042"));

    const auto reads = CallsOf(Calls(), "ReadEEPROM");
    ASSERT_EQ(reads.size(), 64u);
    for (unsigned index = 0; index < 64; ++index)
    {
        EXPECT_EQ(reads[index].ArgumentValue(0), index);
    }
    EXPECT_EQ(Calls().back().function, "CloseDevice");
    ExpectRestored();
}

TEST_F(ProgrammingTest, ShortImageVerifiesAgainstZeroTailAndOnlyTheSizeCounts)
{
    Start();
    ChooseFamily(1);
    ChooseImage(CountingBytes(100));
    // Only the first 256 bytes count: the chip may differ beyond them.
    SeedChip("VT_HIDB", CountingBytes(100) + std::string(156, '\0'));
    EXPECT_EQ(Press(IDC_VERIFY), (Lines{KelvraText::Verifying, KelvraText::VerifySuccess, ""}));

    SeedChip("VT_HIDB", CountingBytes(100) + std::string(155, '\0') + "\x01");
    EXPECT_EQ(Press(IDC_VERIFY), (Lines{KelvraText::Verifying, KelvraText::VerifyFail}));
}

TEST_F(ProgrammingTest, FamiliesOneAndTwoNeverReport)
{
    const std::string image = IdentityImage(0x6707, "P", "M", "S") + std::string(128, '\0');
    Start();
    ChooseFamily(1);
    SeedChip("VT_HIDB", image);
    ChooseImage(image);
    EXPECT_EQ(Press(IDC_VERIFY), (Lines{KelvraText::Verifying, KelvraText::VerifySuccess, ""}));

    ChooseFamily(2);
    SeedChip("VT_HIDC", image + std::string(1792, '\0'));
    ChooseImage(image);
    EXPECT_EQ(Press(IDC_VERIFY), (Lines{KelvraText::Verifying, KelvraText::VerifySuccess, ""}));
    const auto sizes = CallsOf(Calls(), "rmSetEEPROMSize");
    ASSERT_EQ(sizes.size(), 1u);
    EXPECT_EQ(sizes[0].ArgumentValue(1), 256u);
}

TEST_F(ProgrammingTest, FailedReadStopsTheWordsAndStillCloses)
{
    RealChipPacing realPacing;
    Start();
    const std::string image = IdentityImage(0x6707, "P", "M", "S");
    SeedChip("VT_HIDA", image);
    ChooseImage(image);
    SetEmulator("VT_HIDA", "FailReadWord", "9");
    EXPECT_EQ(Press(IDC_VERIFY), (Lines{KelvraText::Verifying, KelvraText::VerifyFail}));
    const auto calls = Calls();
    // Asserted: the lines below read the last two calls.
    ASSERT_EQ(CallsOf(calls, "ReadEEPROM").size(), 10u);
    EXPECT_EQ(calls.back().function, "CloseDevice");
    EXPECT_GE(calls.back().microseconds - calls[calls.size() - 2].microseconds, 20000);
    ExpectRestored();
}
}  // namespace
