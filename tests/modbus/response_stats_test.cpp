#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <numeric>
#include <random>
#include <vector>

#include "modbus/response_stats.h"

namespace {

// Large enough that a test keeps it on the heap, as the program keeps it in
// its state.
std::unique_ptr<ResponseStats> Fresh()
{
    return std::make_unique<ResponseStats>();
}

} // namespace

TEST(ResponseStats, PercentilesOfAKnownSequence)
{
    auto stats = Fresh();
    std::vector<uint32_t> times(100);
    std::iota(times.begin(), times.end(), 1);  // 1..100 ms
    std::shuffle(times.begin(), times.end(), std::mt19937(15));
    for (uint32_t t : times)
        RecordValidResponse(*stats, t);

    const ResponseSummary s = SummariseResponseStats(*stats);
    EXPECT_EQ(s.valid, 100u);
    EXPECT_EQ(s.last, times.back());
    EXPECT_EQ(s.lowest, 1u);
    EXPECT_EQ(s.median, 50u);  // nearest rank: the 50th of 100
    EXPECT_EQ(s.p95, 95u);
    EXPECT_EQ(s.highest, 100u);
    EXPECT_EQ(s.bad(), 0u);

    // One slow response among many fast ones moves the maximum, not the median.
    auto skewed = Fresh();
    for (int i = 0; i < 99; i++)
        RecordValidResponse(*skewed, 2);
    RecordValidResponse(*skewed, 987654);
    const ResponseSummary k = SummariseResponseStats(*skewed);
    EXPECT_EQ(k.median, 2u);
    EXPECT_EQ(k.p95, 2u);
    EXPECT_EQ(k.highest, 987654u);
    EXPECT_EQ(k.last, 987654u);
}

TEST(ResponseStats, TimesBeyondTheExactBinsStayWithinTheirWidth)
{
    auto stats = Fresh();
    for (uint32_t t : {3000u, 3010u, 5000u})
        RecordValidResponse(*stats, t);
    const ResponseSummary s = SummariseResponseStats(*stats);
    EXPECT_EQ(s.lowest, 3000u);
    EXPECT_GE(s.median, 3010u - kCoarseBinWidth);
    EXPECT_LE(s.median, 3010u);
    EXPECT_EQ(s.p95, 5000u);  // clamped to the exact maximum
    EXPECT_EQ(s.highest, 5000u);
}

TEST(ResponseStats, BadResponsesByCauseAndTheReset)
{
    auto stats = Fresh();
    RecordValidResponse(*stats, 7);
    RecordBadResponse(*stats, BadTimeout);
    RecordBadResponse(*stats, BadTimeout);
    RecordBadResponse(*stats, BadWrongLength);
    RecordBadResponse(*stats, BadTransmission);
    RecordBadResponse(*stats, BadException, 2);
    RecordBadResponse(*stats, BadException, 200);
    RecordBadResponse(*stats, BadException, 2);

    ResponseSummary s = SummariseResponseStats(*stats);
    EXPECT_EQ(s.bad(), 7u);
    EXPECT_EQ(BadCausesText(s), "7 bad responses:\n"
                                "  time-outs: 2\n"
                                "  wrong length: 1\n"
                                "  transmission errors: 1\n"
                                "  exception 2 (Illegal Data Address): 2\n"
                                "  exception 200: 1");
    EXPECT_EQ(ResponseTimesText(s), "ElapsedTime of 1 valid response:\n"
                                    "  last: 7 ms\n  min: 7 ms\n  median: 7 ms\n  95th percentile: 7 ms\n  max: 7 ms");

    ResetResponseStats(*stats);
    s = SummariseResponseStats(*stats);
    EXPECT_EQ(s.valid, 0u);
    EXPECT_EQ(s.bad(), 0u);
    EXPECT_EQ(ResponseTimesText(s), "ElapsedTime of 0 valid responses");
    EXPECT_EQ(BadCausesText(s), "0 bad responses");

    // After the reset the extremes start over.
    RecordValidResponse(*stats, 40);
    s = SummariseResponseStats(*stats);
    EXPECT_EQ(s.lowest, 40u);
    EXPECT_EQ(s.highest, 40u);
}
