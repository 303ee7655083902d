#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "common/field_limits.h"
#include "common/scan_rate.h"

TEST(ScanRate, TheIntervalInUseIsTheShownValueClampedIntoTheFieldsRange)
{
    EXPECT_EQ(ScanRateInUse(1000), 1000);
    EXPECT_EQ(ScanRateInUse(kLowestScanRate), kLowestScanRate);
    EXPECT_EQ(ScanRateInUse(kHighestScanRate), kHighestScanRate);
    for (int64_t below : {int64_t{9}, int64_t{0}, int64_t{-5}, std::numeric_limits<int64_t>::min()})
        EXPECT_EQ(ScanRateInUse(below), kLowestScanRate) << below;
    // Beyond what 32 bits hold too: no wrap to a small or negative interval.
    for (int64_t above : {kHighestScanRate + 1, int64_t{4294967306}, std::numeric_limits<int64_t>::max()})
        EXPECT_EQ(ScanRateInUse(above), kHighestScanRate) << above;
}
