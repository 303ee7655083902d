// A series of the store drawn in a Qt chart. Qt Charts joins every point of
// a QLineSeries (it skips a NaN and joins across it), so a line broken
// where no value was read is a QLineSeries for each stretch of it, all in
// the series' colour, the first carrying the series' legend entry and the
// others none; the lone values between two gaps are the dots of one
// QScatterSeries. A bit is drawn as steps: its value holds until the next
// read.
#pragma once

#include <QColor>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "dataview/series_store.h"

class QChart;
class QFont;
class QLegendMarker;
class QLineSeries;
class QPalette;
class QScatterSeries;

// At most this many stretches of a series are drawn as lines; should a
// view hold more, the oldest of them are drawn as dots, which still show
// every value read and no line where none was.
constexpr size_t kMaxTrendStretches = 128;

struct TrendSeriesLines {
    QChart* chart = nullptr;              // owns the series below
    std::vector<QLineSeries*> stretches;  // at least one; those past `drawn` are empty
    QScatterSeries* dots = nullptr;
    size_t drawn = 0;  // stretches holding points
    QColor colour;
};

// Adds the store's series `index` to a chart that has its time and value
// axes, named as the legend shows it.
TrendSeriesLines AddSeriesLines(QChart* chart, const Series& series, size_t index);

// Draws the series' points between from and to on about `columns` pixel
// columns.
void DrawSeriesLines(TrendSeriesLines& lines, const Series& series, int64_t fromMs, int64_t toMs, size_t columns);

// Shows or hides the series; its legend entry stays, struck through and
// greyed while hidden, so that a click brings it back.
void ShowSeriesLines(TrendSeriesLines& lines, bool shown, const QPalette& palette, const QFont& font);

// The series' entry in its chart's legend.
QLegendMarker* SeriesLegendMarker(const TrendSeriesLines& lines);
