#include <gtest/gtest.h>

#include "WindowMessages.h"

using namespace KelvraAutomation;

namespace
{

TEST(TextConversion, AsciiPassesByteForByte)
{
    std::string ascii;
    for (char character = ' '; character <= '~'; ++character)
    {
        ascii += character;
    }
    EXPECT_EQ(WideFromNarrow(ascii).size(), ascii.size());
    EXPECT_EQ(NarrowFromWide(WideFromNarrow(ascii)), ascii);
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
