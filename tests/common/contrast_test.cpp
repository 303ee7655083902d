// The contrast ratio against the figures the accessibility guidelines give.
#include <gtest/gtest.h>

#include "common/contrast.h"

TEST(Contrast, RatiosRunFromOneToTwentyOneWhicheverColourComesFirst)
{
    EXPECT_DOUBLE_EQ(ContrastRatio(kBlack, kWhite), 21.0);
    EXPECT_DOUBLE_EQ(ContrastRatio(kAccentOrange, kAccentOrange), 1.0);
    EXPECT_DOUBLE_EQ(ContrastRatio(kWhite, kAccentOrange), ContrastRatio(kAccentOrange, kWhite));
    // Mid-grey #777 is the usual example just under 4.5:1 on white; the
    // linear part of the curve counts below 0.04045 (channel 10).
    EXPECT_NEAR(ContrastRatio(Rgb{119, 119, 119}, kWhite), 4.48, 0.01);
    EXPECT_NEAR(RelativeLuminance(Rgb{10, 10, 10}), 10 / 255.0 / 12.92, 1e-12);
}
