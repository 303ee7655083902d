// Where the trend chart puts things: its lanes (one for each series shown,
// or one for all), each lane's value range and ticks, the time ticks, the
// legend's entries; and the mapping between times, values and pixels. Made
// from the store, what the user chose to see, and the chart's size and font.
#pragma once

#include <QFontMetrics>
#include <QRect>
#include <QSize>

#include <cstdint>
#include <optional>
#include <vector>

#include "dataview/chart_ticks.h"
#include "dataview/series_store.h"

enum TrendScales {
    ScalesPerSeries,  // a lane and a value axis for each series shown
    ScalesShared,     // one value axis for every series shown
};

// What the user chose to see.
struct TrendView {
    double fromMs = 0;     // the time shown, ms since 1970 UTC; fractions of a
    double toMs = 60'000;  // ms when zoomed far in
    TrendScales scales = ScalesPerSeries;
    std::vector<bool> shown;                       // per store series
    std::vector<std::optional<ValueRange>> fixed;  // per store series: its lane's range, once zoomed
    std::optional<ValueRange> sharedFixed;         // the shared scale's, once zoomed
};

struct TrendLane {
    std::vector<size_t> series;  // store indexes drawn in it
    QRect area;
    ValueRange range;
    ValueTicks ticks;
};

struct TrendLayout {
    QRect plot;  // every lane, and the time axis below them
    std::vector<TrendLane> lanes;
    TimeTicks timeTicks;
    std::vector<QRect> legend;  // per store series
    int32_t utcOffsetMinutes = 0;
};

// Room under the lanes for the red mark of a time without cycles.
constexpr int kTrendMarkHeight = 4;
// Between a lane's edge and its highest and lowest value.
constexpr int kTrendLaneInset = 4;

TrendLayout LayOutTrend(const SeriesStore& store, const TrendView& view, const QSize& size,
                        const QFontMetrics& metrics);

// The range a lane keeps once zoomed, none while it follows its values.
std::optional<ValueRange>& FixedRangeOf(TrendView& view, const TrendLane& lane);
const std::optional<ValueRange>& FixedRangeOf(const TrendView& view, const TrendLane& lane);

// Whether every series of a lane is a bit.
bool IsBitLane(const SeriesStore& store, const std::vector<size_t>& series);

// The lane at a point (its gap above and below counted in), or -1.
int TrendLaneAt(const TrendLayout& layout, const QPoint& at);

double TrendTimeAt(const TrendLayout& layout, const TrendView& view, double x);
double TrendXOf(const TrendLayout& layout, const TrendView& view, int64_t timeMs);
double TrendYOf(const QRect& area, const ValueRange& range, double value);
double TrendValueAt(const QRect& area, const ValueRange& range, double y);
