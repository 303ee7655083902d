#include <gtest/gtest.h>

#include "connection/reconnect_backoff.h"

TEST(ReconnectBackoff, OneTwoThenEveryThreeSecondsStartToStart)
{
    struct Case {
        int failures;
        uint32_t sinceStartMs;  // since the latest attempt started
        uint32_t delayMs;
    };
    const Case cases[] = {
        {0, 0, 0},  // the link had answered: at once
        {1, 0, 1000},
        {2, 0, 2000},
        {3, 0, 3000},
        {4, 0, 3000},
        {1000, 0, 3000},
        // An attempt that took a while to fail has used up part of its pause.
        {1, 400, 600},
        {2, 1500, 500},
        {3, 2999, 1},
        {3, 3000, 0},
        // One that took longer than its pause: the next at once.
        {3, 3001, 0},
        {1, 60000, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReconnectDelayMs(c.failures, c.sinceStartMs), c.delayMs)
            << c.failures << " failures, " << c.sinceStartMs << " ms after the start";
}
