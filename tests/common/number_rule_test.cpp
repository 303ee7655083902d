#include <gtest/gtest.h>

#include "common/number_rule.h"

TEST(NumberRule, DecimalHexAndBinaryPrefixes)
{
    EXPECT_EQ(TextToNumber("1234"), 1234);
    EXPECT_EQ(TextToNumber("$1F"), 31);
    EXPECT_EQ(TextToNumber("%101"), 5);
    EXPECT_EQ(TextToNumber(" \t-7x"), -7);
    EXPECT_EQ(TextToNumber(""), 0);
}
