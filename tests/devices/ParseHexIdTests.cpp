#include <gtest/gtest.h>

#include "HidEnumeration.h"

namespace
{
TEST(ParseHexId, ReadsUpToFourCharactersIgnoringCaseAndKeepingPlaces)
{
    const struct
    {
        const char* text;
        WORD expected;
    } cases[] = {
        {"a1b2", 0xA1B2},  {"A1B2", 0xA1B2},  {"1b2", 0x01B2}, {"", 0},         {"12345", 0x1234}, {"0x1234", 0x0012},
        {" 1b2c", 0x01B2}, {"1b2c ", 0x1B2C}, {"g1", 0x0001},  {"1-2", 0x0102}, {"ffff", 0xFFFF},  {"\xE4\x31", 0x0001},
    };
    for (const auto& entry : cases)
    {
        EXPECT_EQ(ParseHexId(entry.text), entry.expected) << '"' << entry.text << '"';
    }
}
}  // namespace
