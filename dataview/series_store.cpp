#include "dataview/series_store.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "common/table_numbers.h"
#include "dataview/byte_orders.h"
#include "dataview/value_formats.h"
#include "dataview/value_views.h"

namespace {

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

using PointIt = std::span<const SeriesPoint>::iterator;

// The lowest and the highest point of [first, last), in time order; NaN
// left out while there is anything else.
std::pair<PointIt, PointIt> Extremes(PointIt first, PointIt last)
{
    PointIt low = first;
    while (low != last && std::isnan(low->value))
        ++low;
    if (low == last)
        return {first, first};
    // A NaN compares false, so none is taken from here on.
    PointIt high = low;
    double lowest = low->value, highest = low->value;
    for (PointIt p = low + 1; p != last; ++p) {
        if (p->value < lowest) {
            lowest = p->value;
            low = p;
        }
        if (p->value > highest) {
            highest = p->value;
            high = p;
        }
    }
    return low < high ? std::pair{low, high} : std::pair{high, low};
}

// The older half: every four points become their extremes (header).
void ThinOlderHalf(std::vector<SeriesPoint>& points)
{
    const std::span<const SeriesPoint> all(points);
    const PointIt half = all.begin() + static_cast<std::ptrdiff_t>(all.size() / 2);
    auto kept = points.begin();
    for (PointIt first = all.begin(); first < half; first += std::min<std::ptrdiff_t>(4, half - first)) {
        const auto [a, b] = Extremes(first, first + std::min<std::ptrdiff_t>(4, half - first));
        *kept++ = *a;
        if (b != a)
            *kept++ = *b;
    }
    points.erase(kept, points.begin() + (half - all.begin()));
}

// Frees the aged-out points.
void Compact(Series& series)
{
    series.points.erase(series.points.begin(), series.points.begin() + static_cast<std::ptrdiff_t>(series.first));
    series.first = 0;
}

bool Before(const SeriesPoint& p, int64_t timeMs)
{
    return p.timeMs < timeMs;
}
bool After(int64_t timeMs, const SeriesPoint& p)
{
    return timeMs < p.timeMs;
}

}  // namespace

std::string SeriesTypeText(const SeriesSource& source)
{
    const std::string order = std::string(" ") + (source.order >= 0 && source.order < kByteOrderCount
                                                      ? ByteOrderName(static_cast<ByteOrder>(source.order))
                                                      : "");
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
    return "Response time [mS]";
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
    store.series.push_back({source, SeriesName(source), {}, 0});
    return static_cast<int>(store.series.size() - 1);
}

void RemoveSeries(SeriesStore& store, size_t index)
{
    if (index < store.series.size())
        store.series.erase(store.series.begin() + static_cast<std::ptrdiff_t>(index));
}

std::span<const SeriesPoint> SeriesPoints(const Series& series)
{
    return std::span<const SeriesPoint>(series.points).subspan(std::min(series.first, series.points.size()));
}

void AppendPoint(Series& series, int64_t timeMs, double value)
{
    auto& points = series.points;
    if (series.first < points.size())
        timeMs = std::max(timeMs, points.back().timeMs);
    points.push_back({timeMs, value});
    while (points[series.first].timeMs < timeMs - kSeriesSpanMs)
        series.first++;
    if (points.size() - series.first >= kMaxSeriesPoints) {
        Compact(series);
        ThinOlderHalf(points);
    } else if (series.first >= kSeriesAgedBatch) {
        Compact(series);
    }
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
    const std::span<const SeriesPoint> points = SeriesPoints(series);
    const auto after = std::upper_bound(points.begin(), points.end(), timeMs, After);
    if (after == points.begin())
        return std::nullopt;
    return std::prev(after)->value;
}

std::vector<SeriesPoint> PointsForView(const Series& series, int64_t from, int64_t to, size_t columns)
{
    const std::span<const SeriesPoint> points = SeriesPoints(series);
    // The one before the span and the one after it as well.
    PointIt begin = std::lower_bound(points.begin(), points.end(), from, Before);
    if (begin != points.begin())
        --begin;
    PointIt end = std::upper_bound(begin, points.end(), to, After);
    if (end != points.end())
        ++end;
    if (begin >= end)
        return {};
    columns = std::max<size_t>(columns, 1);
    if (static_cast<size_t>(end - begin) <= 4 * columns || to <= from)
        return {begin, end};

    std::vector<SeriesPoint> view;
    PointIt at = begin;
    if (at->timeMs < from)
        view.push_back(*at++);
    const double width = static_cast<double>(to - from) / static_cast<double>(columns);
    for (size_t c = 1; c <= columns && at != end; c++) {
        const int64_t columnEnd = c == columns ? to : from + static_cast<int64_t>(width * static_cast<double>(c));
        const PointIt next = std::upper_bound(at, end, columnEnd, After);
        if (next == at)
            continue;
        const auto [a, b] = Extremes(at, next);
        view.push_back(*a);
        if (b != a)
            view.push_back(*b);
        at = next;
    }
    view.insert(view.end(), at, end);
    return view;
}
