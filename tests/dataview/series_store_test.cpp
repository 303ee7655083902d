// The trend chart's store: bounds, thinning and order, the values it takes
// from samples, the cursor and the view, and its CSV text.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <string>

#include "dataview/byte_orders.h"
#include "dataview/series_csv.h"
#include "dataview/series_store.h"
#include "dataview/value_views.h"
#include "tests/dataview/csv_parse.h"
#include "tests/dataview/sample_fixture.h"

namespace {

constexpr int64_t kTime = 1796710503123;  // 2026-12-08T06:15:03.123Z

bool ByTime(const SeriesPoint& a, const SeriesPoint& b)
{
    return a.timeMs < b.timeMs;
}

}  // namespace

TEST(SeriesStore, AnHourAt10MsStaysWithinTheBoundsInOrderAndKeepsItsSpikes)
{
    Series s;
    size_t most = 0, held = 0;
    const int64_t count = 3600 * 100 + 60 * 100;  // an hour and a minute of 10 ms cycles
    for (int64_t i = 0; i < count; i++) {
        AppendPoint(s, kTime + 10 * i, i % 10000 == 5000 ? 1000.0 : static_cast<double>(i % 7));  // a spike each 100 s
        most = std::max(most, SeriesPoints(s).size());
        held = std::max(held, s.points.size());
    }
    EXPECT_LT(most, kMaxSeriesPoints);
    EXPECT_LE(held, kMaxSeriesPoints + kSeriesAgedBatch);
    const auto points = SeriesPoints(s);
    EXPECT_TRUE(std::is_sorted(points.begin(), points.end(), ByTime));
    const int64_t newest = kTime + 10 * (count - 1);
    EXPECT_EQ(points.back().timeMs, newest);
    EXPECT_GE(points.front().timeMs, newest - kSeriesSpanMs);
    // The newer half has every 10 ms point; every spike inside the hour and
    // the lows survived thinning.
    const size_t half = points.size() / 2;
    EXPECT_EQ(points.back().timeMs - points[half].timeMs, 10 * static_cast<int64_t>(points.size() - 1 - half));
    EXPECT_EQ(std::count_if(points.begin(), points.end(), [](auto& p) { return p.value == 1000.0; }), 36);
    EXPECT_TRUE(std::any_of(points.begin(), points.begin() + 1000, [](auto& p) { return p.value == 0; }));
}

TEST(SeriesStore, PointsKeepTimeOrderAndTheLastHourAndTheCursorHoldsTheLastValue)
{
    Series s;
    AppendPoint(s, 1000, 1);
    AppendPoint(s, 2000, 2);
    AppendPoint(s, 1500, 3);  // the clock set back: stored at the newest time
    EXPECT_EQ(SeriesPoints(s)[2].timeMs, 2000);
    AppendPoint(s, 1000 + kSeriesSpanMs, 4);  // exactly an hour old stays
    EXPECT_EQ(SeriesPoints(s).size(), 4u);
    AppendPoint(s, 1001 + kSeriesSpanMs, 5);
    EXPECT_EQ(SeriesPoints(s).front().value, 2);

    EXPECT_FALSE(SeriesValueAt(s, 1999));
    EXPECT_EQ(SeriesValueAt(s, 2000), 3);
    EXPECT_EQ(SeriesValueAt(s, 5000), 3);
    EXPECT_EQ(SeriesValueAt(s, INT64_MAX), 5);
    EXPECT_FALSE(SeriesValueAt(Series{}, 0));
}

TEST(SeriesStore, AtMostEightSeriesEachOnceAndOnlyOfFittingTypes)
{
    SeriesStore store;
    for (const SeriesSource& unfit : {SeriesSource{SeriesBit, 3, 1, 0}, SeriesSource{SeriesU16, 1, 1, 0},
                                      SeriesSource{SeriesFloat32, 4, 1, 4}, SeriesSource{SeriesU16, 5, 1, 0}})
        EXPECT_EQ(AddSeries(store, unfit), -1);
    const std::vector<SeriesSource> choices = SeriesChoices(4, 1);
    ASSERT_EQ(choices.size(), 26u);
    for (size_t i = 0; i < kMaxSeries; i++)
        EXPECT_EQ(AddSeries(store, choices[i]), static_cast<int>(i));
    EXPECT_EQ(AddSeries(store, choices[3]), 3);
    EXPECT_EQ(AddSeries(store, choices[8]), -1);
    RemoveSeries(store, 0);
    EXPECT_EQ(AddSeries(store, ResponseTimeSource()), 7);
    EXPECT_EQ(store.series[3].name, "40001-40002 u32 BADC (byte swap)");
    EXPECT_EQ(store.series[7].name, "Response time [mS]");
    EXPECT_EQ(SeriesName(SeriesChoices(2, 12)[0]), "0012 bit");
    EXPECT_EQ(SeriesName(SeriesChoices(3, 1)[13]), "30001-30002 float32 DCBA (little-endian)");
    EXPECT_EQ(SeriesName(SeriesChoices(3, 1)[15]), "30001-30004 u64 GHEFCDAB (word swap)");
    EXPECT_EQ(SeriesName(SeriesChoices(3, 1)[25]), "30001-30004 float64 HGFEDCBA (little-endian)");
    // What a saved column holds, and which series are whole numbers.
    EXPECT_EQ(SeriesColumnName(SeriesChoices(2, 12)[0]), "Coil 0012 bit");
    EXPECT_EQ(SeriesColumnName(SeriesChoices(4, 1)[4]), "Holding Registers 40001-40002 u32 BADC (byte swap)");
    EXPECT_EQ(SeriesColumnName(ResponseTimeSource()), "Response time [mS]");
    for (const SeriesSource& source : SeriesChoices(4, 1))
        EXPECT_EQ(SeriesIsWhole(source), source.type != SeriesFloat32 && source.type != SeriesFloat64);
    EXPECT_EQ(SeriesValueText({SeriesU64, 4, 1, 0}, 18446744073709551615.0), "18446744073709551616");
    EXPECT_EQ(SeriesValueText({SeriesFloat32, 4, 1, 0}, 0.1f), "0.1");
}

TEST(SeriesStore, SamplesGiveValuesDecodedAsTheValueTipDecodesThem)
{
    // Holding Registers 40010..40013 = 1234 5678 FFFF 3F80; coil 0011 on.
    const uint8_t wire[4] = {0x12, 0x34, 0x56, 0x78};
    const CycleSample sample =
        MakeSample(kTime, 10, 4, {0, 1, 0, 3}, {{2, {0x02}}, {4, {0x12, 0x34, 0x56, 0x78, 0xFF, 0xFF, 0x3F, 0x80}}});
    for (int order = 0; order < 4; order++) {
        const PairViews views = ViewPair(wire)[static_cast<size_t>(order)];
        EXPECT_EQ(std::to_string(static_cast<uint32_t>(*SampleValue({SeriesU32, 4, 10, order}, sample))),
                  views.unsigned32);
        EXPECT_EQ(std::to_string(static_cast<int32_t>(*SampleValue({SeriesS32, 4, 10, order}, sample))),
                  views.signed32);
        EXPECT_EQ(FloatText(static_cast<float>(*SampleValue({SeriesFloat32, 4, 10, order}, sample))), views.float32);
    }
    // Four registers as 64 bits, 0x12345678FFFF3F80 in each order.
    EXPECT_EQ(SampleValue({SeriesU64, 4, 10, OrderABCD}, sample), static_cast<double>(0x12345678FFFF3F80u));
    EXPECT_EQ(SampleValue({SeriesU64, 4, 10, OrderCDAB}, sample), static_cast<double>(0x3F80FFFF56781234u));
    EXPECT_EQ(SampleValue({SeriesS64, 4, 10, OrderDCBA}, sample),
              static_cast<double>(static_cast<int64_t>(0x803FFFFF78563412u)));
    EXPECT_EQ(SampleValue({SeriesFloat64, 4, 10, OrderBADC}, sample), std::bit_cast<double>(0x34127856FFFF803Fu));
    EXPECT_FALSE(SampleValue({SeriesU64, 4, 11, OrderABCD}, sample));  // past the block
    EXPECT_EQ(SampleValue({SeriesU16, 4, 12, 0}, sample), 65535);
    EXPECT_EQ(SampleValue({SeriesS16, 4, 12, 0}, sample), -1);
    EXPECT_EQ(SampleValue({SeriesBit, 2, 11, 0}, sample), 1);
    // None: a pair's second register past the block, outside the block, a
    // failed or a hidden table.
    for (const SeriesSource& none : {SeriesSource{SeriesU32, 4, 13, 0}, SeriesSource{SeriesU16, 4, 9, 0},
                                     SeriesSource{SeriesU16, 4, 14, 0}, SeriesSource{SeriesBit, 1, 10, 0}})
        EXPECT_FALSE(SampleValue(none, sample));
    EXPECT_FALSE(SampleValue({SeriesU16, 3, 10, 0}, MakeSample(kTime, 10, 4, {0, 0, 3, 3}, {})));

    // A point per sample with a value, the response time one per response;
    // when the block moves, a series follows its address.
    SeriesStore store;
    AddSeries(store, {SeriesU16, 4, 13, 0});
    AddSeries(store, ResponseTimeSource());
    CycleSample timed = sample;
    NoteResponseTime(timed, kTime - 5, 12);
    NoteResponseTime(timed, kTime - 2, 3);
    FeedSeriesStore(store, timed);
    FeedSeriesStore(store, MakeSample(kTime + 100, 10, 4, {0, 0, 0, 3}, {}));
    FeedSeriesStore(store, MakeSample(kTime + 200, 13, 1, {0, 0, 0, 3}, {{4, {0x00, 0x07}}}));
    const auto u16 = SeriesPoints(store.series[0]), elapsed = SeriesPoints(store.series[1]);
    ASSERT_EQ(u16.size(), 2u);
    EXPECT_EQ(u16[0].value, 0x3F80);
    EXPECT_EQ(u16[1].timeMs, kTime + 200);
    EXPECT_EQ(u16[1].value, 7);
    ASSERT_EQ(elapsed.size(), 2u);
    EXPECT_EQ(elapsed[0].timeMs, kTime - 5);
    EXPECT_EQ(elapsed[1].value, 3);
}

TEST(SeriesStore, NoValueBreaksTheLineAndTimeWithoutCyclesIsAnOutage)
{
    SeriesStore store;
    AddSeries(store, {SeriesU16, 4, 1, 0});
    AddSeries(store, ResponseTimeSource());
    auto read = [](int64_t t, bool valid) {
        CycleSample sample =
            MakeSample(t, 1, 1, {0, 0, 0, 3}, valid ? std::vector<TableData>{{4, {0, 7}}} : std::vector<TableData>{});
        if (valid)
            NoteResponseTime(sample, t, 9);
        else
            NoteBadResponse(sample, {OutcomeTimeout});
        return sample;
    };
    FeedSeriesStore(store, read(1000, true));
    FeedSeriesStore(store, read(2000, true));
    FeedSeriesStore(store, read(3000, false));  // the read failed
    FeedSeriesStore(store, read(4000, true));
    // The link down from 5 s to 60 s: no cycles at all.
    NoteNoCycles(store, 5500);
    NoteNoCycles(store, 30000);
    EXPECT_EQ(store.outageFrom, 4000);
    FeedSeriesStore(store, read(60000, true));
    FeedSeriesStore(store, read(61000, true));
    ASSERT_EQ(store.outages.size(), 1u);
    EXPECT_EQ(store.outages[0].fromMs, 4000);
    EXPECT_EQ(store.outages[0].toMs, 60000);
    EXPECT_FALSE(store.outageFrom);
    for (const Series& series : store.series) {
        EXPECT_EQ(series.breaks, (std::vector<int64_t>{4000, 60000})) << series.name;
        EXPECT_FALSE(BrokenBetween(series, 1000, 2000));
        EXPECT_TRUE(BrokenBetween(series, 2000, 4000));
        EXPECT_TRUE(BrokenBetween(series, 4000, 60000));
        EXPECT_FALSE(BrokenBetween(series, 60000, 61000));
        // The cursor reads nothing in a gap, and the value at its ends.
        EXPECT_EQ(SeriesValueAt(series, 4000), series.source.type == SeriesResponseTime ? 9 : 7);
        EXPECT_FALSE(SeriesValueAt(series, 4001));
        EXPECT_FALSE(SeriesValueAt(series, 2500));
        EXPECT_TRUE(SeriesValueAt(series, 1500));
    }
    NoteNoCycles(store, 62000);
    EXPECT_TRUE(SeriesValueAt(store.series[0], 61000));
    EXPECT_FALSE(SeriesValueAt(store.series[0], 61001));
}

TEST(SeriesStore, TheViewIsBoundedPerColumnAndKeepsSpikesAndEdges)
{
    Series s;
    for (int64_t t = 0; t < 60000; t += 10)
        AppendPoint(s, t, t == 30000 ? -50 : 1);
    std::vector<SeriesPoint> view = PointsForView(s, 1005, 1035, 100);  // few: all, and one past each edge
    ASSERT_EQ(view.size(), 5u);
    EXPECT_EQ(view.front().timeMs, 1000);
    EXPECT_EQ(view.back().timeMs, 1040);
    view = PointsForView(s, 0, 59990, 100);
    EXPECT_LE(view.size(), 202u);
    EXPECT_TRUE(std::any_of(view.begin(), view.end(), [](auto& p) { return p.value == -50; }));
    EXPECT_TRUE(std::is_sorted(view.begin(), view.end(), ByTime));
    EXPECT_EQ(PointsForView(s, 70000, 80000, 100).size(), 1u);
}

TEST(SeriesStore, TheLineIsCutIntoStretchesWhereNothingWasReadOrTheValueIsNotANumber)
{
    // Values at 1..9 s: the read at 4 s failed, 6 s is a NaN float, 8 s an
    // infinity; 5 s is left alone between the gap and the NaN.
    Series s;
    for (int64_t t = 1; t <= 9; t++) {
        if (t == 4) {
            MarkSeriesGap(s);
            continue;
        }
        const double value = t == 6 ? std::nan("") : t == 8 ? HUGE_VAL : static_cast<double>(t);
        AppendPoint(s, t * 1000, value);
    }
    std::vector<std::vector<int64_t>> times;
    for (const std::vector<SeriesPoint>& stretch : StretchesForView(s, 0, 10'000, 100)) {
        times.emplace_back();
        for (const SeriesPoint& p : stretch)
            times.back().push_back(p.timeMs);
    }
    EXPECT_EQ(times, (std::vector<std::vector<int64_t>>{{1000, 2000, 3000}, {5000}, {7000}, {9000}}));
    EXPECT_TRUE(StretchesForView(Series{}, 0, 10'000, 100).empty());
}

TEST(SeriesCsv, EverySeriesInOneTableByTime)
{
    SeriesStore store;
    AddSeries(store, {SeriesFloat32, 4, 1, 0});
    AddSeries(store, ResponseTimeSource());
    AppendPoint(store.series[0], kTime, 0.1f);
    AppendPoint(store.series[0], kTime + 100, -2.5);
    AppendPoint(store.series[1], kTime - 3, 12);
    AppendPoint(store.series[1], kTime + 100, 65535);
    EXPECT_EQ(ParseCsv(SeriesCsvText(store, [](int64_t) { return int32_t{60}; })),
              (CsvRows{{"Time", "Holding Registers 40001-40002 float32 ABCD (big-endian)", "Response time [mS]"},
                       {"2026-12-08T07:15:03.120+01:00", "", "12"},
                       {"2026-12-08T07:15:03.123+01:00", "0.1", ""},
                       {"2026-12-08T07:15:03.223+01:00", "-2.5", "65535"}}));
}
