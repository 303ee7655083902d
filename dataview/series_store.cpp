#include "dataview/series_store.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "common/records.h"
#include "dataview/value_formats.h"
#include "dataview/value_views.h"

namespace {

constexpr const char* kOrderWords[4] = {"big-endian", "word swap", "byte swap", "little-endian"};

bool IsPair(SeriesType type)
{
    return type == SeriesU32 || type == SeriesS32 || type == SeriesFloat32;
}

bool IsBitTable(int table)
{
    return table == TableDiscreteInputs || table == TableCoils;
}

bool Plottable(const SeriesSource& s)
{
    if (s.type == SeriesResponseTime)
        return true;
    if (s.table < TableDiscreteInputs || s.table > TableHoldingRegisters)
        return false;
    if (IsBitTable(s.table) != (s.type == SeriesBit))
        return false;
    return !IsPair(s.type) || (s.order >= 0 && s.order < 4);
}

// Index of the lowest and the highest point of points[first, last), NaN
// left out while there is anything else.
std::pair<size_t, size_t> Extremes(const std::deque<SeriesPoint>& points, size_t first, size_t last)
{
    size_t low = first, high = first;
    for (size_t i = first; i < last; i++) {
        const double v = points[i].value;
        if (std::isnan(v))
            continue;
        if (std::isnan(points[low].value) || v < points[low].value)
            low = i;
        if (std::isnan(points[high].value) || v > points[high].value)
            high = i;
    }
    return {std::min(low, high), std::max(low, high)};
}

// The older half: every four points become their extremes (header).
void ThinOlderHalf(std::deque<SeriesPoint>& points)
{
    const size_t half = points.size() / 2;
    size_t kept = 0;
    for (size_t first = 0; first < half; first += 4) {
        const auto [a, b] = Extremes(points, first, std::min(first + 4, half));
        points[kept++] = points[a];
        if (b != a)
            points[kept++] = points[b];
    }
    points.erase(points.begin() + static_cast<std::ptrdiff_t>(kept),
                 points.begin() + static_cast<std::ptrdiff_t>(half));
}

// First point at or after time.
size_t FirstFrom(const std::deque<SeriesPoint>& points, int64_t timeMs)
{
    const auto at = std::lower_bound(points.begin(), points.end(), timeMs,
                                     [](const SeriesPoint& p, int64_t t) { return p.timeMs < t; });
    return static_cast<size_t>(at - points.begin());
}

}  // namespace

std::string SeriesTypeText(const SeriesSource& source)
{
    const std::string order = std::string(" ") + PairOrderName(source.order) + " (" +
                              (source.order >= 0 && source.order < 4 ? kOrderWords[source.order] : "") + ")";
    switch (source.type) {
    case SeriesBit:
        return "bit";
    case SeriesU16:
        return "u16";
    case SeriesS16:
        return "s16";
    case SeriesU32:
        return "u32" + order;
    case SeriesS32:
        return "s32" + order;
    case SeriesFloat32:
        return "float32" + order;
    case SeriesResponseTime:
        break;
    }
    return "ElapsedTime [mS]";
}

std::string SeriesName(const SeriesSource& source)
{
    if (source.type == SeriesResponseTime)
        return SeriesTypeText(source);
    std::string label = TableLabel(source.table, source.address, 0);
    if (IsPair(source.type))
        label += "-" + TableLabel(source.table, source.address, 1);
    return label + " " + SeriesTypeText(source);
}

std::vector<SeriesSource> SeriesChoices(int table, int64_t address)
{
    if (IsBitTable(table))
        return {{SeriesBit, table, address, 0}};
    if (table != TableInputRegisters && table != TableHoldingRegisters)
        return {};
    std::vector<SeriesSource> choices = {{SeriesU16, table, address, 0}, {SeriesS16, table, address, 0}};
    for (SeriesType type : {SeriesU32, SeriesS32, SeriesFloat32})
        for (int order = 0; order < 4; order++)
            choices.push_back({type, table, address, order});
    return choices;
}

SeriesSource ResponseTimeSource()
{
    return {SeriesResponseTime, 0, 0, 0};
}

int AddSeries(SeriesStore& store, const SeriesSource& source)
{
    if (!Plottable(source))
        return -1;
    for (size_t i = 0; i < store.series.size(); i++)
        if (store.series[i].source == source)
            return static_cast<int>(i);
    if (store.series.size() >= kMaxSeries)
        return -1;
    store.series.push_back({source, SeriesName(source), {}});
    return static_cast<int>(store.series.size() - 1);
}

void RemoveSeries(SeriesStore& store, size_t index)
{
    if (index < store.series.size())
        store.series.erase(store.series.begin() + static_cast<std::ptrdiff_t>(index));
}

void AppendPoint(Series& series, int64_t timeMs, double value)
{
    auto& points = series.points;
    if (!points.empty())
        timeMs = std::max(timeMs, points.back().timeMs);
    points.push_back({timeMs, value});
    while (points.front().timeMs < timeMs - kSeriesSpanMs)
        points.pop_front();
    if (points.size() >= kMaxSeriesPoints)
        ThinOlderHalf(points);
}

std::optional<double> SampleValue(const SeriesSource& source, const CycleSample& sample)
{
    if (!Plottable(source) || source.type == SeriesResponseTime || !TableShown(sample.block, source.table))
        return std::nullopt;
    const TableSample& table = sample.tables[static_cast<size_t>(source.table - 1)];
    const int64_t row = source.address - sample.block.start;
    const int64_t needed = IsPair(source.type) ? 2 : 1;
    if (!table.valid || row < 0 || row + needed > static_cast<int64_t>(table.words.size()))
        return std::nullopt;
    const uint16_t word = table.words[static_cast<size_t>(row)];
    switch (source.type) {
    case SeriesBit:
    case SeriesU16:
        return word;
    case SeriesS16:
        return static_cast<int16_t>(word);
    default:
        break;
    }
    const uint16_t next = table.words[static_cast<size_t>(row + 1)];
    const uint8_t bytes[4] = {static_cast<uint8_t>(word >> 8), static_cast<uint8_t>(word),
                              static_cast<uint8_t>(next >> 8), static_cast<uint8_t>(next)};
    const uint32_t bits = PairBits(bytes, source.order);
    if (source.type == SeriesU32)
        return bits;
    if (source.type == SeriesS32)
        return static_cast<int32_t>(bits);
    return std::bit_cast<float>(bits);
}

void FeedSeriesStore(SeriesStore& store, const CycleSample& sample)
{
    for (Series& series : store.series) {
        if (series.source.type == SeriesResponseTime) {
            for (const ResponseTime& response : sample.responseTimes)
                AppendPoint(series, response.timeMs, response.elapsedMs);
        } else if (const std::optional<double> value = SampleValue(series.source, sample)) {
            AppendPoint(series, sample.timeMs, *value);
        }
    }
}

std::optional<double> SeriesValueAt(const Series& series, int64_t timeMs)
{
    const auto after = std::upper_bound(series.points.begin(), series.points.end(), timeMs,
                                        [](int64_t t, const SeriesPoint& p) { return t < p.timeMs; });
    if (after == series.points.begin())
        return std::nullopt;
    return std::prev(after)->value;
}

std::vector<SeriesPoint> PointsForView(const Series& series, int64_t from, int64_t to, size_t columns)
{
    const auto& points = series.points;
    // The one before the span and the one after it as well.
    const size_t start = FirstFrom(points, from);
    const size_t first = start > 0 ? start - 1 : 0;
    const size_t last = std::min(points.size(), FirstFrom(points, to < INT64_MAX ? to + 1 : to) + 1);
    std::vector<SeriesPoint> view;
    if (first >= last)
        return view;
    columns = std::max<size_t>(columns, 1);
    if (last - first <= 4 * columns || to <= from) {
        view.assign(points.begin() + static_cast<std::ptrdiff_t>(first),
                    points.begin() + static_cast<std::ptrdiff_t>(last));
        return view;
    }
    const double width = static_cast<double>(to - from) / static_cast<double>(columns);
    auto columnOf = [&](int64_t t) {
        if (t < from)
            return int64_t{-1};
        if (t > to)
            return static_cast<int64_t>(columns);
        return std::min(static_cast<int64_t>(static_cast<double>(t - from) / width), static_cast<int64_t>(columns) - 1);
    };
    for (size_t begin = first; begin < last;) {
        const int64_t column = columnOf(points[begin].timeMs);
        size_t end = begin + 1;
        while (end < last && columnOf(points[end].timeMs) == column)
            end++;
        const auto [a, b] = Extremes(points, begin, end);
        view.push_back(points[a]);
        if (b != a)
            view.push_back(points[b]);
        begin = end;
    }
    return view;
}
