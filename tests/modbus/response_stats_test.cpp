#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <numeric>
#include <random>
#include <vector>

#include "modbus/response_stats.h"

TEST(ResponseStats, PercentilesOfAKnownSequence)
{
    auto stats = std::make_unique<ResponseStats>();
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
}

TEST(ResponseStats, TimesBeyondTheExactBinsStayWithinTheirWidth)
{
    auto stats = std::make_unique<ResponseStats>();
    for (uint32_t t : {3000u, 3010u, 987654u})
        RecordValidResponse(*stats, t);
    const ResponseSummary s = SummariseResponseStats(*stats);
    EXPECT_EQ(s.lowest, 3000u);
    EXPECT_GE(s.median, 3010u - kCoarseBinWidth);
    EXPECT_LE(s.median, 3010u);
    EXPECT_EQ(s.p95, 987654u);  // the top rank is the exact maximum
    EXPECT_EQ(s.highest, 987654u);
}

TEST(ResponseStats, BadResponsesByCauseAndTheReset)
{
    auto stats = std::make_unique<ResponseStats>();
    RecordValidResponse(*stats, 7);
    for (OutcomeKind kind :
         {OutcomeTimeout, OutcomeTimeout, OutcomeIncomplete, OutcomeInvalid, OutcomeInvalid, OutcomeLinkLost})
        RecordBadResponse(*stats, {kind});
    for (uint8_t code : {uint8_t{2}, uint8_t{200}, uint8_t{2}})
        RecordBadResponse(*stats, {OutcomeException, FaultNone, LossNone, code});
    // What is not bad counts nothing.
    for (OutcomeKind kind : {OutcomeValid, OutcomeBroadcast, OutcomeRefused})
        RecordBadResponse(*stats, {kind});
    EXPECT_EQ(BadCausesText(SummariseResponseStats(*stats)),
              "9 bad responses:\n  time-outs: 2\n  wrong length: 1\n  invalid responses: 2\n  connection lost: 1\n"
              "  exception 2 (Illegal Data Address): 2\n  exception 200: 1");

    // A wrong CRC has a line of its own once there is one.
    RecordBadResponse(*stats, {OutcomeInvalid, FaultCrc});
    EXPECT_EQ(SummariseResponseStats(*stats).bad(), 10u);
    EXPECT_NE(BadCausesText(SummariseResponseStats(*stats)).find("\n  invalid responses: 2\n  wrong CRC: 1\n"),
              std::string::npos);

    ResetResponseStats(*stats);
    EXPECT_EQ(ResponseTimesText(SummariseResponseStats(*stats)), "Response time of 0 valid responses");
    EXPECT_EQ(BadCausesText(SummariseResponseStats(*stats)), "0 bad responses");
    // The extremes start over too.
    RecordValidResponse(*stats, 40);
    EXPECT_EQ(ResponseTimesText(SummariseResponseStats(*stats)),
              "Response time of 1 valid response:\n  last: 40 ms\n  min: 40 ms\n  median: 40 ms\n"
              "  95th percentile: 40 ms\n  max: 40 ms");
}
