#include "SerialSeries.h"

#include <gtest/gtest.h>

namespace
{

std::vector<std::string> Serials(const std::string& start, std::uint64_t count)
{
    const Result<std::vector<std::string>> serials = SerialSeries::Consecutive(start, count);
    EXPECT_TRUE(serials.IsOk()) << serials.Error();
    return serials.IsOk() ? serials.Value() : std::vector<std::string>{};
}

bool Refused(const std::string& start, std::uint64_t count)
{
    return !SerialSeries::Consecutive(start, count).IsOk();
}

}  // namespace

TEST(SerialSeriesConsecutive, CountsUpKeepingWidthAndPrefix)
{
    EXPECT_EQ(Serials("0099", 3), (std::vector<std::string>{"0099", "0100", "0101"}));
    EXPECT_EQ(Serials("SN-0998", 2), (std::vector<std::string>{"SN-0998", "SN-0999"}));
    EXPECT_EQ(Serials("7", 1), std::vector<std::string>{"7"});
    EXPECT_EQ(Serials("ABCDEFGHIJKL9", 1), std::vector<std::string>{"ABCDEFGHIJKL9"});
    EXPECT_EQ(Serials("9999999999998", 2).back(), "9999999999999");
}

TEST(SerialSeriesConsecutive, RefusesOverflowOfTheWidth)
{
    EXPECT_TRUE(Refused("9", 2));
    EXPECT_TRUE(Refused("SN9999", 2));
    EXPECT_TRUE(Refused("9999999999999", 2));
    EXPECT_TRUE(Refused("0", 0));
}

TEST(SerialSeriesConsecutive, RefusesStartsThatAreNotPrefixAndDigits)
{
    for (const std::string start :
         {"", "SN", "12AB", "A1B2", "SN 01", "SN/01", "..01", "12345678901234", "ABCDEFGHIJKLM1"})
    {
        EXPECT_TRUE(Refused(start, 1)) << start;
    }
}

TEST(SerialSeriesCount, AcceptsOneToTheLimit)
{
    EXPECT_EQ(SerialSeries::ParseCount("1").Value(), 1u);
    EXPECT_EQ(SerialSeries::ParseCount("100000").Value(), 100000u);
    for (const std::string text : {"", "0", "-1", "+5", "100001", "1e3", "99999999999999999999999"})
    {
        EXPECT_FALSE(SerialSeries::ParseCount(text).IsOk()) << text;
    }
}

TEST(SerialSeriesForm, NumbersOnlySerialsOfTheSamePrefixAndWidth)
{
    const SerialSeries::Form form = SerialSeries::ParseStart("KV-0099").Value();
    EXPECT_EQ(SerialSeries::SerialOf(form, 100), "KV-0100");
    EXPECT_EQ(SerialSeries::NumberOf(form, "KV-0100"), std::optional<std::uint64_t>(100));
    EXPECT_EQ(SerialSeries::Limit(form), 10000u);
    for (const std::string other : {"KV-100", "KV-00100", "KW-0100", "KV-01a0", "0100", ""})
    {
        EXPECT_FALSE(SerialSeries::NumberOf(form, other).has_value()) << other;
    }
}
