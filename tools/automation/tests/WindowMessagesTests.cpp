#include <gtest/gtest.h>

#include "WindowMessages.h"

using namespace KelvraAutomation;

namespace {

TEST(TextConversion, AsciiPassesByteForByte)
{
    std::string ascii;
    for (char character = ' '; character <= '~'; ++character)
        ascii += character;
    EXPECT_EQ(WideFromNarrow(ascii).size(), ascii.size());
    EXPECT_EQ(NarrowFromWide(WideFromNarrow(ascii)), ascii);
}

TEST(TextConversion, EmptyStaysEmpty)
{
    EXPECT_EQ(NarrowFromWide(L""), "");
    EXPECT_EQ(WideFromNarrow(""), L"");
}

TEST(TextConversion, WideTextOfKelvraLines)
{
    EXPECT_EQ(NarrowFromWide(L"24C08 ->  1024 bytes"), "24C08 ->  1024 bytes");
    EXPECT_EQ(WideFromNarrow("Write Fail!"), L"Write Fail!");
}

TEST(TextConversion, NulInsideIsKept)
{
    const std::wstring wide(L"a\0b", 3);
    EXPECT_EQ(NarrowFromWide(wide), std::string("a\0b", 3));
}

TEST(FindTopLevelDialogs, NoneWithAnUnusedCaption)
{
    EXPECT_TRUE(FindTopLevelDialogs(0, "no such caption 7d1f").empty());
}

TEST(SendWithin, AGoneWindowDoesNotAnswer)
{
    const HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    DestroyWindow(window);
    EXPECT_FALSE(SendWithin(window, WM_NULL, 0, 0, Milliseconds(100)));
    EXPECT_FALSE(Answers(window, Milliseconds(100)));
}

}  // namespace
