#include <gtest/gtest.h>

#include "EntryChoice.h"

using namespace KelvraAutomation;

namespace {

const std::vector<std::string> Sizes = {"24C02 ->  256 bytes", "24C04 ->  512 bytes", "24C08 ->  1024 bytes",
                                        "24C16 ->  2048 bytes"};

TEST(FindEntry, ExactText)
{
    EXPECT_EQ(FindEntry(Sizes, "24C08 ->  1024 bytes"), 2);
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
