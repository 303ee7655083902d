// Where the trend chart puts its lanes: one plot area for each series shown
// (or one for all), stacked on one time axis, each with its value range and
// round ticks; the time ticks; and, on scales of their own, the names of
// the hidden series in rows under the time axis, to be clicked back. Made
// from the store, what the user chose to see, the chart's size and font,
// and the size of each legend entry; Qt Charts draws what is placed here.
// Also the mapping between times, values and pixels, the one Qt Charts
// uses for a plot area and its ranges.
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
    std::vector<size_t> series;  // store indexes of the series shown in it
    QRect area;                  // its plot area
    ValueRange range;            // the values at its bottom and top edges
    ValueTicks ticks;
};

struct TrendLayout {
    QRect plot;                    // from the first lane's top to the last one's bottom
    std::vector<TrendLane> lanes;  // at least one
    TimeTicks timeTicks;
    int32_t utcOffsetMinutes = 0;
    // Per store series: where the name of a hidden series on a scale of its
    // own goes; empty for the others.
    std::vector<QRect> folded;
};

// entries: per store series, the size of its legend entry.
TrendLayout LayOutTrend(const SeriesStore& store, const TrendView& view, const QSize& size, const QFontMetrics& metrics,
                        const std::vector<QSize>& entries);

// The range a lane keeps once zoomed, none while it follows its values.
std::optional<ValueRange>& FixedRangeOf(TrendView& view, const TrendLane& lane);
const std::optional<ValueRange>& FixedRangeOf(const TrendView& view, const TrendLane& lane);

// The lane at a point (its gap above and below counted in), or -1.
int TrendLaneAt(const TrendLayout& layout, const QPoint& at);

double TrendTimeAt(const TrendLayout& layout, const TrendView& view, double x);
double TrendXOf(const TrendLayout& layout, const TrendView& view, int64_t timeMs);
double TrendValueAt(const QRect& area, const ValueRange& range, double y);
