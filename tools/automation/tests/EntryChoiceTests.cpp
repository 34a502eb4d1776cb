#include <gtest/gtest.h>

#include "EntryChoice.h"
#include "KelvraTexts.h"

using namespace KelvraAutomation;

namespace
{

const std::vector<std::string> Sizes(std::begin(KelvraText::EepromSizeRows), std::end(KelvraText::EepromSizeRows));

TEST(FindEntry, ExactText)
{
    EXPECT_EQ(FindEntry(Sizes, KELVRA_SIZE_ROW_24C08), 2);
}

TEST(FindEntry, UniqueStart)
{
    EXPECT_EQ(FindEntry(Sizes, "24C16"), 3);
    EXPECT_EQ(FindEntry(Sizes, "24C02 ->"), 0);
}

TEST(FindEntry, AmbiguousStartIsRefused)
{
    EXPECT_FALSE(FindEntry(Sizes, "24C"));
    EXPECT_FALSE(FindEntry(Sizes, "24C0"));
}

TEST(FindEntry, ExactTextWinsOverLongerEntries)
{
    EXPECT_EQ(FindEntry({"VID_845e&PID_00011", "VID_845e&PID_0001"}, "VID_845e&PID_0001"), 1);
}

TEST(FindEntry, OneBlankAfterTheArrowIsNotTheEntry)
{
    EXPECT_FALSE(FindEntry(Sizes, "24C04 -> 512 bytes"));
}

TEST(FindEntry, EmptyTextMatchesOnlyAnEmptyEntry)
{
    EXPECT_FALSE(FindEntry(Sizes, ""));
    EXPECT_EQ(FindEntry({"a", ""}, ""), 1);
}

}  // namespace
