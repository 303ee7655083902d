#include <gtest/gtest.h>

#include <cstdint>

#include "common/tick.h"

// Whole-millisecond ticks may overstate the time passed by up to 1 ms, so a
// wait for ms never ends before ms have really passed: one more is waited.
TEST(Tick, AWaitIsNeverCutShortByTheTicksRounding)
{
    const uint32_t now = MillisecondTick();
    EXPECT_EQ(WaitLeftMs(0, now), 0u);
    EXPECT_EQ(WaitLeftMs(20, now - 1000), 0u);
    EXPECT_EQ(WaitLeftMs(20, now - 21), 0u);
    const uint32_t left = WaitLeftMs(20, now);
    EXPECT_GE(left, 20u);
    EXPECT_LE(left, 21u);
    EXPECT_LE(WaitLeftMs(20, now - 20), 1u);
}
