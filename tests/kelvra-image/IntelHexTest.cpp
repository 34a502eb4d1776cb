#include "IntelHex.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

std::string ErrorOf(const std::string& text)
{
    const Result<std::vector<std::uint8_t>> result = IntelHex::Parse(text);
    return result.IsOk() ? "accepted" : result.Error();
}

const std::string EndOfFile = ":00000001FF\n";

}  // namespace

TEST(IntelHexParse, ConvertsDataWithGapsFilledByZero)
{
    const std::string text = ":020000040000FA\r\n"
                             ":0400000007674584C5\r\n"
                             ":02000800AABB91\r\n"
                             "\r\n"
                             ":00000001FF\r\n";
    const Result<std::vector<std::uint8_t>> image = IntelHex::Parse(text);
    ASSERT_TRUE(image.IsOk()) << image.Error();
    EXPECT_EQ(image.Value(), (std::vector<std::uint8_t>{0x07, 0x67, 0x45, 0x84, 0, 0, 0, 0, 0xAA, 0xBB}));
}

TEST(IntelHexParse, ExtendedSegmentAddressMovesTheData)
{
    const Result<std::vector<std::uint8_t>> image = IntelHex::Parse(":020000020010EC\n:0100000055AA\n" + EndOfFile);
    ASSERT_TRUE(image.IsOk()) << image.Error();
    ASSERT_EQ(image.Value().size(), 0x101u);
    EXPECT_EQ(image.Value()[0x100], 0x55);
    EXPECT_EQ(image.Value()[0], 0);
}

TEST(IntelHexParse, LowerCaseDigitsAndStartAddressRecordsAreAccepted)
{
    const Result<std::vector<std::uint8_t>> image = IntelHex::Parse(":01000000ab54\n:0400000500000000f7\n" + EndOfFile);
    ASSERT_TRUE(image.IsOk()) << image.Error();
    EXPECT_EQ(image.Value(), std::vector<std::uint8_t>{0xAB});
}

TEST(IntelHexParse, RecordSyntaxErrorsNameTheirLine)
{
    EXPECT_EQ(ErrorOf(":0100000055AA\n:0100010066FF\n" + EndOfFile), "line 2: checksum 0xff is wrong, expected 0x98");
    EXPECT_EQ(ErrorOf(":01000000G5AA\n"), "line 1: 'G' at column 10 is not a hexadecimal digit");
    EXPECT_EQ(ErrorOf("\n0100000055AA\n"), "line 2: does not start with ':' but with '0'");
    EXPECT_EQ(ErrorOf(" :0100000055AA\n"), "line 1: does not start with ':' but with ' '");
    EXPECT_EQ(ErrorOf(":00000001\n"), "line 1: record too short: 8 hexadecimal digits, a record has at least 10");
    EXPECT_EQ(ErrorOf(":0100000055A\n"), "line 1: odd number of hexadecimal digits");
    EXPECT_EQ(ErrorOf(":020000005554\n"), "line 1: byte count 2 does not match the 1 data bytes on the line");
    EXPECT_EQ(ErrorOf(std::string(":01000000\0"
                                  "5AA\n",
                                  14)),
              "line 1: byte 0x00 at column 10 is not a hexadecimal digit");
}

TEST(IntelHexParse, RecordMeaningErrorsNameTheirLine)
{
    EXPECT_EQ(ErrorOf(":0100000055AA\n"), "line 2: missing end-of-file record (:00000001FF)");
    EXPECT_EQ(ErrorOf(""), "line 1: missing end-of-file record (:00000001FF)");
    EXPECT_EQ(ErrorOf(":0100000055AA\n" + EndOfFile + ":0100000055AA\n"), "line 3: text after the end-of-file record");
    EXPECT_EQ(ErrorOf(":01000000550000AA\n"), "line 1: byte count 1 does not match the 3 data bytes on the line");
    EXPECT_EQ(ErrorOf(":0100000655A4\n"), "line 1: unsupported record type 0x06");
    EXPECT_EQ(ErrorOf(":0100000155A9\n"), "line 1: end-of-file record must carry 0 data bytes, not 1");
    EXPECT_EQ(ErrorOf(":0100000400FB\n"), "line 1: extended linear address record must carry 2 data bytes, not 1");
    EXPECT_EQ(ErrorOf(EndOfFile), "no data records");
}

TEST(IntelHexParse, AddressesStayWithinTheLargestEeprom)
{
    EXPECT_EQ(ErrorOf(":0207FF00AABB93\n" + EndOfFile),
              "line 1: address 2048 is beyond the largest EEPROM (2048 bytes)");
    EXPECT_EQ(ErrorOf(":020000040001F9\n:0100000055AA\n" + EndOfFile),
              "line 2: address 65536 is beyond the largest EEPROM (2048 bytes)");
    const Result<std::vector<std::uint8_t>> last = IntelHex::Parse(":0107FF0055A4\n" + EndOfFile);
    ASSERT_TRUE(last.IsOk()) << last.Error();
    EXPECT_EQ(last.Value().size(), IntelHex::MaxImageSize);
}

TEST(IntelHexParse, OverlappingDataIsRefused)
{
    EXPECT_EQ(ErrorOf(":02000000556643\n:010001007787\n" + EndOfFile), "line 2: address 1 was already set on line 1");
}

TEST(IntelHexDetect, RecognisesARecordOnTheFirstLine)
{
    const auto looks = [](const std::string& text)
    {
        return IntelHex::LooksLikeIntelHex(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    };
    EXPECT_TRUE(looks(":0100000055AA\r\n"));
    EXPECT_TRUE(looks(EndOfFile));
    EXPECT_FALSE(looks(":0000\n"));
    EXPECT_FALSE(looks(":01000000 55AA\n"));
    EXPECT_FALSE(looks("\x07\x67\x45\x84"));
    EXPECT_FALSE(IntelHex::LooksLikeIntelHex(nullptr, 0));
}
