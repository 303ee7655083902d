#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "dataview/chart_ticks.h"

namespace {

std::vector<std::string> Texts(double low, double high, int maxTicks, bool whole)
{
    const ValueTicks ticks = RoundValueTicks(low, high, maxTicks, whole);
    std::vector<std::string> texts;
    for (double v : ticks.values)
        texts.push_back(ValueTickText(v, ticks));
    return texts;
}

using Texts_ = std::vector<std::string>;

}  // namespace

TEST(ChartTicks, ValuesStepByOneTwoOrFiveTimesAPowerOfTen)
{
    struct Case {
        double low, high;
        int maxTicks;
        bool whole;
        Texts_ expected;
    };
    const Case cases[] = {
        // The integer series that showed 888.2, 1389.1, 1890.1.
        {387.3, 1890.1, 5, true, {"500", "1000", "1500"}},
        {0, 1800, 6, true, {"0", "500", "1000", "1500"}},
        {-60, 60, 7, false, {"-60", "-40", "-20", "0", "20", "40", "60"}},
        {0, 1, 3, true, {"0", "1"}},
        {0, 3, 10, true, {"0", "1", "2", "3"}},  // whole: never 0.5 steps
        {0, 0.3, 4, false, {"0", "0.1", "0.2", "0.3"}},
        {-0.05, 0.05, 3, false, {"-0.05", "0", "0.05"}},
        {24.5, 25.5, 3, false, {"24.5", "25.0", "25.5"}},
        {0, 4e9, 3, true, {"0", "2e+09", "4e+09"}},
        {1.5e-7, 4.5e-7, 4, false, {"2e-07", "3e-07", "4e-07"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Texts(c.low, c.high, c.maxTicks, c.whole), c.expected) << c.low << ".." << c.high;
    EXPECT_TRUE(RoundValueTicks(1, 0, 5, false).values.empty());
    EXPECT_TRUE(RoundValueTicks(0, HUGE_VAL, 5, false).values.empty());
}

TEST(ChartTicks, AnAxisStartsAndEndsOnATick)
{
    const ValueRange range = RoundValueRange(387.3, 1890.1, 5, true);
    EXPECT_EQ(range.low, 0);
    EXPECT_EQ(range.high, 2000);
    // A single value gets room around it: whole numbers one on each side.
    const ValueRange flat = RoundValueRange(7, 7, 5, true);
    EXPECT_EQ(flat.low, 6);
    EXPECT_EQ(flat.high, 8);
    const ValueRange bit = RoundValueRange(0, 1, 3, true);
    EXPECT_EQ(bit.low, 0);
    EXPECT_EQ(bit.high, 1);
}

TEST(ChartTicks, TimesFallOnRoundLocalTimes)
{
    constexpr int64_t k0700Utc = 1'765'177'200'000;  // 2025-12-08 07:00:00 UTC
    struct Case {
        int64_t from, to;
        int maxTicks;
        int32_t offset;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {k0700Utc + 1'234,
         k0700Utc + 61'234,
         7,
         0,
         {"07:00:10", "07:00:20", "07:00:30", "07:00:40", "07:00:50", "07:01:00"}},
        {k0700Utc, k0700Utc + 3'600'000, 5, 60, {"08:00", "08:15", "08:30", "08:45", "09:00"}},
        {k0700Utc + 90 * 60'000,
         k0700Utc + 95 * 60'000,
         6,
         330,
         {"14:00", "14:01", "14:02", "14:03", "14:04", "14:05"}},
        {k0700Utc + 150, k0700Utc + 600, 3, 0, {"07:00:00.200", "07:00:00.400", "07:00:00.600"}},
    };
    for (const Case& c : cases) {
        const TimeTicks ticks = RoundTimeTicks(c.from, c.to, c.maxTicks, c.offset);
        std::vector<std::string> texts;
        for (int64_t t : ticks.timesMs)
            texts.push_back(TimeTickText(t, ticks.stepMs, c.offset));
        EXPECT_EQ(texts, c.expected) << c.from << ".." << c.to;
    }
}
