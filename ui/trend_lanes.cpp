#include "ui/trend_lanes.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "dataview/wall_clock.h"

namespace {

constexpr int kLaneGap = 8;
constexpr int kMargin = 6;
// Between a lane's edge and its highest and lowest value, in pixels, so
// that a line along a tick at the edge is not cut in half.
constexpr int kLaneInset = 4;

// Whether every series of a lane is a bit.
bool IsBitLane(const SeriesStore& store, const std::vector<size_t>& series)
{
    return !series.empty() && std::all_of(series.begin(), series.end(),
                                          [&](size_t s) { return store.series[s].source.type == SeriesBit; });
}

// The range that holds the series' values in the time shown, ending on ticks.
ValueRange AutoRange(const SeriesStore& store, const TrendView& view, const std::vector<size_t>& series, int maxTicks)
{
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    const auto from = static_cast<int64_t>(std::floor(view.fromMs));
    const auto to = static_cast<int64_t>(std::ceil(view.toMs));
    bool whole = true;
    for (size_t s : series) {
        const Series& one = store.series[s];
        whole = whole && SeriesIsWhole(one.source);
        for (const SeriesPoint& p : PointsForView(one, from, to, 512)) {
            // An infinity or NaN read as a float is left out of the line and
            // must not take the range with it.
            if (p.timeMs < from || p.timeMs > to || !std::isfinite(p.value))
                continue;
            low = std::min(low, p.value);
            high = std::max(high, p.value);
        }
    }
    if (low > high)
        return {0, 1};
    return RoundValueRange(low, high, maxTicks, whole);
}

// The range widened by the inset at both ends of a lane of height pixels.
ValueRange Inset(ValueRange range, int height)
{
    const double pad = (range.high - range.low) * kLaneInset / std::max(1, height - 2 * kLaneInset);
    return {range.low - pad, range.high + pad};
}

std::vector<TrendLane> Lanes(const SeriesStore& store, const TrendView& view, const QRect& plot, int rowHeight)
{
    std::vector<TrendLane> lanes;
    for (size_t s = 0; s < store.series.size() && s < view.shown.size(); s++) {
        if (!view.shown[s])
            continue;
        if (view.scales == ScalesShared && !lanes.empty())
            lanes.front().series.push_back(s);
        else
            lanes.push_back({{s}, {}, {}, {}});
    }
    if (lanes.empty())
        lanes.push_back({});
    // A lane of bits needs room for 0 and 1 only; the others share the rest.
    const int count = static_cast<int>(lanes.size());
    const int share = std::max(1, (plot.height() - kLaneGap * (count - 1)) / count);
    const int bitHeight = std::min(share, 4 * rowHeight);
    int bitLanes = 0;
    for (const TrendLane& lane : lanes)
        bitLanes += IsBitLane(store, lane.series);
    const int valueHeight =
        bitLanes == count
            ? share
            : std::max(1, (plot.height() - kLaneGap * (count - 1) - bitLanes * bitHeight) / (count - bitLanes));
    int top = plot.top();
    for (int i = 0; i < count; i++) {
        TrendLane& lane = lanes[static_cast<size_t>(i)];
        const int height = IsBitLane(store, lane.series) && bitLanes < count ? bitHeight : valueHeight;
        lane.area = QRect(plot.left(), top, plot.width(), height);
        top += height + kLaneGap;
        // As many ticks as their texts leave room for, so that the range
        // wastes little of the lane.
        const int maxTicks = std::max(2, (height - 2 * kLaneInset) / (rowHeight + 2) + 1);
        bool whole = true;
        for (size_t s : lane.series)
            whole = whole && SeriesIsWhole(store.series[s].source);
        if (IsBitLane(store, lane.series) && !FixedRangeOf(view, lane)) {
            // A bit is 0 or 1: both always in view, with room for the line.
            lane.range = {-0.2, 1.2};
            lane.ticks.step = 1;
            lane.ticks.values = {0, 1};
            continue;
        }
        // The ticks of the values, before the room at the edges is added.
        const std::optional<ValueRange>& fixed = FixedRangeOf(view, lane);
        lane.range = fixed.value_or(AutoRange(store, view, lane.series, maxTicks));
        lane.ticks = RoundValueTicks(lane.range.low, lane.range.high, maxTicks, whole);
        if (!fixed)
            lane.range = Inset(lane.range, height);
    }
    return lanes;
}

// Places the names of the hidden series on scales of their own in rows from
// the left; returns the height of the rows.
int FoldHidden(const SeriesStore& store, const TrendView& view, const std::vector<QSize>& entries, int width,
               std::vector<QRect>& folded)
{
    folded.assign(store.series.size(), QRect());
    if (view.scales != ScalesPerSeries)
        return 0;
    int x = kMargin, y = 0, rowHeight = 0;
    for (size_t s = 0; s < store.series.size() && s < view.shown.size() && s < entries.size(); s++) {
        if (view.shown[s])
            continue;
        if (x > kMargin && x + entries[s].width() > width - kMargin) {
            x = kMargin;
            y += rowHeight;
        }
        folded[s] = QRect(QPoint(x, y), entries[s]);
        x += entries[s].width() + kMargin;
        rowHeight = std::max(rowHeight, entries[s].height());
    }
    return rowHeight == 0 ? 0 : y + rowHeight;
}

}  // namespace

TrendLayout LayOutTrend(const SeriesStore& store, const TrendView& view, const QSize& chart,
                        const QFontMetrics& metrics, const std::vector<QSize>& entries)
{
    TrendLayout layout;
    const int foldedHeight = FoldHidden(store, view, entries, chart.width(), layout.folded);
    const int foldedTop = chart.height() - kMargin - foldedHeight;
    for (QRect& entry : layout.folded)
        if (!entry.isNull())
            entry.translate(0, foldedTop);

    // The time axis' texts under the lanes.
    const int timeRow = metrics.height() + 8;
    const QRect provisional(0, kMargin, chart.width(), foldedTop - kMargin - timeRow);
    layout.lanes = Lanes(store, view, provisional, metrics.height());
    int labels = metrics.horizontalAdvance(QStringLiteral("0"));
    for (const TrendLane& lane : layout.lanes)
        for (double v : lane.ticks.values)
            labels = std::max(labels, metrics.horizontalAdvance(QString::fromStdString(ValueTickText(v, lane.ticks))));
    // The texts of the value axes on the left; room on the right for half
    // of the last time text, which is centred on its tick.
    const int timeText = metrics.horizontalAdvance(QStringLiteral("00:00:00.000"));
    const int left = labels + 16;
    layout.plot = QRect(left, provisional.top(), std::max(16, chart.width() - left - timeText / 2 - 4),
                        std::max(1, layout.lanes.back().area.bottom() - provisional.top() + 1));
    for (TrendLane& lane : layout.lanes)
        lane.area = QRect(layout.plot.left(), lane.area.top(), layout.plot.width(), lane.area.height());

    const auto to = static_cast<int64_t>(std::ceil(view.toMs));
    layout.utcOffsetMinutes = UtcOffsetMinutesAt(to);
    layout.timeTicks = RoundTimeTicks(static_cast<int64_t>(std::floor(view.fromMs)), to,
                                      std::max(2, layout.plot.width() / (timeText + 16)), layout.utcOffsetMinutes);
    return layout;
}

std::optional<ValueRange>& FixedRangeOf(TrendView& view, const TrendLane& lane)
{
    if (view.scales == ScalesShared || lane.series.empty() || lane.series.front() >= view.fixed.size())
        return view.sharedFixed;
    return view.fixed[lane.series.front()];
}

const std::optional<ValueRange>& FixedRangeOf(const TrendView& view, const TrendLane& lane)
{
    if (view.scales == ScalesShared || lane.series.empty() || lane.series.front() >= view.fixed.size())
        return view.sharedFixed;
    return view.fixed[lane.series.front()];
}

int TrendLaneAt(const TrendLayout& layout, const QPoint& at)
{
    for (size_t i = 0; i < layout.lanes.size(); i++)
        if (at.y() >= layout.lanes[i].area.top() - kLaneGap / 2 &&
            at.y() <= layout.lanes[i].area.bottom() + kLaneGap / 2)
            return static_cast<int>(i);
    return -1;
}

double TrendTimeAt(const TrendLayout& layout, const TrendView& view, double x)
{
    return view.fromMs + (x - layout.plot.left()) / layout.plot.width() * (view.toMs - view.fromMs);
}

double TrendXOf(const TrendLayout& layout, const TrendView& view, int64_t timeMs)
{
    return layout.plot.left() +
           (static_cast<double>(timeMs) - view.fromMs) / (view.toMs - view.fromMs) * layout.plot.width();
}

double TrendValueAt(const QRect& area, const ValueRange& range, double y)
{
    return range.low + (area.bottom() + 1 - y) / area.height() * (range.high - range.low);
}
