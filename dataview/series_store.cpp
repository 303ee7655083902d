#include "dataview/series_store.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>

#include "common/table_numbers.h"
#include "dataview/byte_orders.h"
#include "dataview/value_formats.h"
#include "dataview/value_views.h"

namespace {

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
    return SeriesRegisterCount(s) < 2 || (s.order >= 0 && s.order < kByteOrderCount);
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

// Frees the aged-out points, and the breaks before the first point left.
void Compact(Series& series)
{
    series.points.erase(series.points.begin(), series.points.begin() + static_cast<std::ptrdiff_t>(series.first));
    series.first = 0;
    const int64_t oldest = series.points.empty() ? 0 : series.points.front().timeMs;
    std::erase_if(series.breaks, [oldest](int64_t t) { return t <= oldest; });
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
    const int width = 2 * SeriesRegisterCount(source);
    const std::string order =
        width < 4 ? std::string() : std::string(" ") + ByteOrderName(static_cast<ByteOrder>(source.order), width);
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
    case SeriesU64:
        return "u64" + order;
    case SeriesS64:
        return "s64" + order;
    case SeriesFloat64:
        return "float64" + order;
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
    const int count = SeriesRegisterCount(source);
    if (count > 1)
        label += "-" + TableLabel(source.table, source.address, count - 1);
    return label + " " + SeriesTypeText(source);
}

std::string SeriesColumnName(const SeriesSource& source)
{
    if (source.type == SeriesResponseTime)
        return SeriesTypeText(source);
    return std::string(TableEntryName(source.table)) + (SeriesRegisterCount(source) > 1 ? "s " : " ") +
           SeriesName(source);
}

std::string SeriesValueText(const SeriesSource& source, double value)
{
    if (source.type == SeriesFloat32)
        return FloatText(static_cast<float>(value));
    if (source.type == SeriesFloat64 || !std::isfinite(value))
        return DoubleText(value);
    // Whole numbers, exactly as held: no exponent for a large u64.
    char text[32];
    std::snprintf(text, sizeof text, "%.0f", value);
    return text;
}

int SeriesRegisterCount(const SeriesSource& source)
{
    switch (source.type) {
    case SeriesResponseTime:
        return 0;
    case SeriesU32:
    case SeriesS32:
    case SeriesFloat32:
        return 2;
    case SeriesU64:
    case SeriesS64:
    case SeriesFloat64:
        return 4;
    default:
        return 1;
    }
}

bool SeriesIsWhole(const SeriesSource& source)
{
    return source.type != SeriesFloat32 && source.type != SeriesFloat64;
}

std::vector<SeriesSource> SeriesChoices(int table, int64_t address)
{
    if (IsBitTable(table))
        return {{SeriesBit, table, address, 0}};
    if (table != TableInputRegisters && table != TableHoldingRegisters)
        return {};
    std::vector<SeriesSource> choices = {{SeriesU16, table, address, 0}, {SeriesS16, table, address, 0}};
    for (SeriesType type : {SeriesU32, SeriesS32, SeriesFloat32, SeriesU64, SeriesS64, SeriesFloat64})
        for (int order = 0; order < kByteOrderCount; order++)
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
    store.series.push_back({source, SeriesName(source), {}, 0, {}, false});
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
    if (series.first < points.size()) {
        timeMs = std::max(timeMs, points.back().timeMs);
        if (series.broken)
            series.breaks.push_back(timeMs);
    }
    series.broken = false;
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

void MarkSeriesGap(Series& series)
{
    series.broken = true;
}

void NoteNoCycles(SeriesStore& store, int64_t nowMs)
{
    if (!store.outageFrom)
        store.outageFrom = store.lastSampleMs > 0 ? store.lastSampleMs : nowMs;
    for (Series& series : store.series)
        MarkSeriesGap(series);
}

std::optional<double> SampleValue(const SeriesSource& source, const CycleSample& sample)
{
    if (!Plottable(source) || source.type == SeriesResponseTime || !TableShown(sample.block, source.table))
        return std::nullopt;
    const TableSample& table = sample.tables[static_cast<size_t>(source.table - 1)];
    const int64_t row = source.address - sample.block.start;
    const int count = SeriesRegisterCount(source);
    if (!table.valid || row < 0 || row + count > static_cast<int64_t>(table.words.size()))
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
    // The registers' bytes as they came, high byte first, then the value's.
    uint8_t wire[8] = {};
    for (int i = 0; i < count; i++) {
        const uint16_t w = table.words[static_cast<size_t>(row + i)];
        wire[2 * i] = static_cast<uint8_t>(w >> 8);
        wire[2 * i + 1] = static_cast<uint8_t>(w);
    }
    if (count == 2) {
        const uint32_t bits = PairBits(wire, source.order);
        if (source.type == SeriesU32)
            return bits;
        if (source.type == SeriesS32)
            return static_cast<int32_t>(bits);
        return std::bit_cast<float>(bits);
    }
    uint8_t value[8] = {};
    WireToValue(static_cast<ByteOrder>(source.order), wire, value, 8);
    uint64_t bits = 0;
    for (uint8_t b : value)
        bits = bits << 8 | b;
    if (source.type == SeriesU64)
        return static_cast<double>(bits);
    if (source.type == SeriesS64)
        return static_cast<double>(static_cast<int64_t>(bits));
    return std::bit_cast<double>(bits);
}

void FeedSeriesStore(SeriesStore& store, const CycleSample& sample)
{
    if (store.outageFrom) {
        store.outages.push_back({*store.outageFrom, std::max(*store.outageFrom, sample.timeMs)});
        store.outageFrom.reset();
    }
    store.lastSampleMs = std::max(store.lastSampleMs, sample.timeMs);
    std::erase_if(store.outages,
                  [&](const TimeSpan& outage) { return outage.toMs < store.lastSampleMs - kSeriesSpanMs; });
    for (Series& series : store.series) {
        if (series.source.type == SeriesResponseTime) {
            // Only valid responses have a time: a cycle whose transactions
            // all failed leaves a gap.
            for (const ResponseTime& response : sample.responseTimes)
                AppendPoint(series, response.timeMs, response.elapsedMs);
            if (sample.responseTimes.empty() && sample.bad != BadResponseCounts{})
                MarkSeriesGap(series);
        } else if (const std::optional<double> value = SampleValue(series.source, sample)) {
            AppendPoint(series, sample.timeMs, *value);
        } else {
            MarkSeriesGap(series);
        }
    }
}

bool BrokenBetween(const Series& series, int64_t aMs, int64_t bMs)
{
    const auto after = std::upper_bound(series.breaks.begin(), series.breaks.end(), aMs);
    return after != series.breaks.end() && *after <= bMs;
}

std::optional<double> SeriesValueAt(const Series& series, int64_t timeMs)
{
    const std::span<const SeriesPoint> points = SeriesPoints(series);
    const auto after = std::upper_bound(points.begin(), points.end(), timeMs, After);
    if (after == points.begin())
        return std::nullopt;
    const SeriesPoint& before = *std::prev(after);
    // In a gap nothing was read: the value before it is not held there.
    if (timeMs > before.timeMs &&
        (after == points.end() ? series.broken : BrokenBetween(series, before.timeMs, after->timeMs)))
        return std::nullopt;
    return before.value;
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
