#include "ui/trend_layout.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "dataview/wall_clock.h"

namespace {

constexpr int kLaneGap = 8;

// The part of a lane the values are drawn in.
QRect Inner(const QRect& area)
{
    return area.adjusted(0, kTrendLaneInset, 0, -kTrendLaneInset);
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
            // An infinity or NaN read as a float is drawn off the chart but
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
        const int maxTicks = std::max(2, Inner(lane.area).height() / (rowHeight + 2) + 1);
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
        lane.range = FixedRangeOf(view, lane).value_or(AutoRange(store, view, lane.series, maxTicks));
        lane.ticks = RoundValueTicks(lane.range.low, lane.range.high, maxTicks, whole);
    }
    return lanes;
}

}  // namespace

TrendLayout LayOutTrend(const SeriesStore& store, const TrendView& view, const QSize& chart,
                        const QFontMetrics& metrics)
{
    TrendLayout layout;
    const int row = metrics.height() + 4;

    // The legend's entries, in rows under the time axis.
    const int square = metrics.height() * 2 / 3;
    std::vector<QSize> sizes;
    for (const Series& series : store.series)
        sizes.emplace_back(square + 6 + metrics.horizontalAdvance(QString::fromStdString(series.name)), row);
    int rows = sizes.empty() ? 0 : 1;
    for (int x = 8, i = 0; i < static_cast<int>(sizes.size()); i++) {
        if (x > 8 && x + sizes[static_cast<size_t>(i)].width() > chart.width() - 8) {
            rows++;
            x = 8;
        }
        x += sizes[static_cast<size_t>(i)].width() + 16;
    }
    const int legendTop = chart.height() - rows * row - 4;

    const QRect provisional(0, 6, chart.width(), legendTop - 6 - row - kTrendMarkHeight);
    layout.lanes = Lanes(store, view, provisional, metrics.height());
    int labels = metrics.horizontalAdvance(QStringLiteral("0"));
    for (const TrendLane& lane : layout.lanes)
        for (double v : lane.ticks.values)
            labels = std::max(labels, metrics.horizontalAdvance(QString::fromStdString(ValueTickText(v, lane.ticks))));
    layout.plot =
        QRect(labels + 12, provisional.top(), std::max(16, chart.width() - labels - 24), provisional.height());
    for (TrendLane& lane : layout.lanes)
        lane.area = QRect(layout.plot.left(), lane.area.top(), layout.plot.width(), lane.area.height());

    const auto to = static_cast<int64_t>(std::ceil(view.toMs));
    layout.utcOffsetMinutes = UtcOffsetMinutesAt(to);
    const int tickRoom = metrics.horizontalAdvance(QStringLiteral("00:00:00.000")) + 16;
    layout.timeTicks = RoundTimeTicks(static_cast<int64_t>(std::floor(view.fromMs)), to,
                                      std::max(2, layout.plot.width() / tickRoom), layout.utcOffsetMinutes);

    int x = 8, y = legendTop;
    for (const QSize& entry : sizes) {
        if (x > 8 && x + entry.width() > chart.width() - 8) {
            x = 8;
            y += row;
        }
        layout.legend.emplace_back(QPoint(x, y), entry);
        x += entry.width() + 16;
    }
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

bool IsBitLane(const SeriesStore& store, const std::vector<size_t>& series)
{
    return !series.empty() && std::all_of(series.begin(), series.end(),
                                          [&](size_t s) { return store.series[s].source.type == SeriesBit; });
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

double TrendYOf(const QRect& area, const ValueRange& range, double value)
{
    const QRect inner = Inner(area);
    return inner.bottom() + 1 - (value - range.low) / (range.high - range.low) * inner.height();
}

double TrendValueAt(const QRect& area, const ValueRange& range, double y)
{
    const QRect inner = Inner(area);
    return range.low + (inner.bottom() + 1 - y) / inner.height() * (range.high - range.low);
}
