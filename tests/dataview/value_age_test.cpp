#include <gtest/gtest.h>

#include <cstdint>

#include "dataview/value_age.h"

TEST(ValueAge, TwoUnitsAtMostAndNeverRoundedUp)
{
    const struct {
        int64_t seconds;
        const char* text;
    } cases[] = {
        {-5, "last read 0 s ago"},         {12, "last read 12 s ago"},
        {60, "last read 1 min 0 s ago"},   {185, "last read 3 min 5 s ago"},
        {3600, "last read 1 h 0 min ago"}, {2 * 3600 + 4 * 60 + 59, "last read 2 h 4 min ago"},
        {86400, "last read 1 d 0 h ago"},  {3 * 86400 + 7 * 3600 + 3599, "last read 3 d 7 h ago"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LastReadText(c.seconds), c.text) << c.seconds;
}
