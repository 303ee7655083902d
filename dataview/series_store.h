// The values over time behind the trend chart: up to kMaxSeries series, each
// a value of the data list (a bit, a register, a register pair) or the
// response time, with its points in wall-clock time. Pure: samples in,
// points out; the chart only draws what it finds here.
//
// Bounds. A series keeps the last hour (points older than kSeriesSpanMs
// before its newest point are dropped) and never more than
// kMaxSeriesPoints points. When an append reaches that count, the older
// half of the series is thinned: each run of four consecutive points is
// replaced by its lowest and its highest point, in their time order (one
// point when those are the same point), so the older half keeps at most
// half its points and a spike in it survives as an extreme. The newer half
// keeps every point. Thinning again later makes the oldest stretches
// coarser still. With 10 ms cycles a series thus holds 75,000 to 100,000
// points, the newest 50,000 (over eight minutes) at full resolution.
//
// The aged-out points wait to be freed until kSeriesAgedBatch of them have
// gathered, so a series never holds more than kMaxSeriesPoints +
// kSeriesAgedBatch points in memory (2 MiB).
//
// Order. Points are in time order. A point stamped before the series'
// newest (the wall clock was set back) is stored at the newest's time.
//
// Reading. The value of a series at a time (the cursor) is that of its last
// point at or before that time: the value read then, held until the next
// read, as a bit's steps are. Nothing before the first point, nor in a gap
// (below). A cycle whose read of the table failed adds no point.
//
// Gaps. Where no value was read between two points (a failed read, the
// link down, a disconnect) the line is broken: the later point starts a new
// stretch (Series::breaks). While no cycle runs at all (the link down or
// disconnected) the store keeps the time without cycles as an outage, from
// the last cycle before to the first after, for the chart to show on its
// time axis.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "dataview/cycle_sample.h"

constexpr size_t kMaxSeries = 8;
constexpr size_t kMaxSeriesPoints = 100000;
constexpr int64_t kSeriesSpanMs = 3600 * 1000;
constexpr size_t kSeriesAgedBatch = 16384;

enum SeriesType {
    SeriesBit,  // Discrete Inputs or Coils: 0 or 1
    SeriesU16,  // a register, unsigned
    SeriesS16,  // a register, signed
    SeriesU32,  // a register and the next, in a byte order
    SeriesS32,
    SeriesFloat32,
    SeriesResponseTime,  // the response time of every valid response, in ms
    SeriesU64,           // a register and the three next, in a byte order
    SeriesS64,
    SeriesFloat64,
};

struct SeriesSource {
    SeriesType type = SeriesU16;
    int table = 0;        // 1..4; 0 for the response time
    int64_t address = 0;  // address number of the bit or the (first) register, as its label carries it
    // 32 and 64 bits: 0 "ABCD" ("ABCDEFGH"), 1 "CDAB" ("GHEFCDAB"), 2 "BADC"
    // ("BADCFEHG"), 3 "DCBA" ("HGFEDCBA"), as byte_orders.h has them.
    int order = 0;
    bool operator==(const SeriesSource&) const = default;
};

struct SeriesPoint {
    int64_t timeMs = 0;  // wall clock, ms since 1970 UTC
    double value = 0;
};

struct Series {
    SeriesSource source;
    std::string name;  // legend: label and type
    // The points are points[first ..], in time order; those before first
    // have aged out and are freed in batches, so that dropping the oldest
    // point costs nothing per append while the points stay one contiguous
    // run for the chart to read. Read them through SeriesPoints.
    std::vector<SeriesPoint> points;
    size_t first = 0;
    // Times of the points that start a new stretch of the line: no value
    // was read between the point before and such a point. In time order;
    // those before the first point go with it.
    std::vector<int64_t> breaks;
    // No value was read since the last point: the next one starts a stretch.
    bool broken = false;
};

// The points of a series, oldest first. Valid until the next append.
std::span<const SeriesPoint> SeriesPoints(const Series& series);

// A time without cycles, ms since 1970 UTC.
struct TimeSpan {
    int64_t fromMs = 0;
    int64_t toMs = 0;
};

struct SeriesStore {
    std::vector<Series> series;  // in the order they were added
    // Times without cycles, oldest first, the last hour's; and the start of
    // the one still going on, if any.
    std::vector<TimeSpan> outages;
    std::optional<int64_t> outageFrom;
    // The time of the latest sample taken, 0 before the first.
    int64_t lastSampleMs = 0;
};

// "bit", "u16", "s16", "u32 CDAB (word swap)", "float32 ABCD (big-endian)",
// "u64 GHEFCDAB (word swap)"; "Response time [mS]" for the response time.
std::string SeriesTypeText(const SeriesSource& source);
// The legend: "10001 bit", "40001 s16", "40001-40002 float32 DCBA
// (little-endian)", "40001-40004 float64 ABCDEFGH (big-endian)",
// "Response time [mS]".
std::string SeriesName(const SeriesSource& source);
// What a column of saved data holds, the legend's name with what it is:
// "Coil 0001 bit", "Holding Registers 40001-40002 float32 ...",
// "Response time [mS]".
std::string SeriesColumnName(const SeriesSource& source);

// A value of the source as the cursor and the saved data show it: a float32
// as the value tip shows it ("0.1", not the double it is held in), a
// float64 the shortest text that reads back to it, any other as the whole
// number it is.
std::string SeriesValueText(const SeriesSource& source, double value);

// The registers a source reads: 1, 2 or 4; 0 for the response time.
int SeriesRegisterCount(const SeriesSource& source);
// Whether every value of the source is a whole number (all but floats).
bool SeriesIsWhole(const SeriesSource& source);

// What a value cell of table 1..4 at an address can be plotted as, in menu
// order: a bit; or u16, s16, then u32, s32, float32, u64, s64 and float64
// in the four orders each. A value whose registers run past the block's
// last row gets no points. Empty for another table number.
std::vector<SeriesSource> SeriesChoices(int table, int64_t address);
SeriesSource ResponseTimeSource();

// Adds a series and returns its index; the index of the same source when it
// is already plotted; -1 when kMaxSeries are plotted or the source is not a
// plottable one (a bit type on a register table, or the reverse).
int AddSeries(SeriesStore& store, const SeriesSource& source);
void RemoveSeries(SeriesStore& store, size_t index);

// Appends a point within the bounds above.
void AppendPoint(Series& series, int64_t timeMs, double value);

// No value was read for the series: its line is broken before the next point.
void MarkSeriesGap(Series& series);

// No cycle runs now (nowMs): an outage starts at the last sample (now
// without one), unless one is going on, and every line is broken.
void NoteNoCycles(SeriesStore& store, int64_t nowMs);

// The series' value in a sample, none when the sample holds no valid read
// of it (table not shown or failed, address outside the block or beyond the
// values the answer held). Decoded as the value tip decodes it.
std::optional<double> SampleValue(const SeriesSource& source, const CycleSample& sample);

// Every series takes its points from a sample: one at the sample's time, or
// for the response time one per valid response at its own time; a series
// the sample holds no value for has a gap. An outage going on ends at the
// sample.
void FeedSeriesStore(SeriesStore& store, const CycleSample& sample);

// Whether the line is broken between the points at times a and b (a < b).
bool BrokenBetween(const Series& series, int64_t aMs, int64_t bMs);

// The value at a time as the cursor reads it (header).
std::optional<double> SeriesValueAt(const Series& series, int64_t timeMs);

// The points the chart needs to draw the series between from and to on
// about `columns` pixel columns: the points in the span, plus the last one
// before it and the first after it so that the line runs to the edges.
// When there are more than four per column, each column keeps its lowest
// and highest point in time order, so spikes still show; at most
// 2 * columns + 2 points then.
std::vector<SeriesPoint> PointsForView(const Series& series, int64_t from, int64_t to, size_t columns);
