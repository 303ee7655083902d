// The trend window: a separate top-level window that plots chosen values
// against wall-clock time (trend_chart.h): up to kMaxSeries series, each on
// a scale of its own or all on one, a legend that shows and hides them, a
// visible span of 1 min, 10 min or 1 h, zoom and pan, Pause and Resume (the
// view stands, the points keep coming), a cursor that reads every series at
// the mouse's time, "Save as PNG…" and "Save data as CSV…"
// (trend_saving.h), and a right-click menu that removes a series. It opens
// inside the screen at a size that fits it.
//
// The window owns the series store; the program feeds it through the collect
// handler, which the window calls ten times a second: the chart is drawn
// again at most four times a second whatever the scan rate. Closing the
// window drops its series.
#pragma once

#include <cstdint>
#include <string>

#include "dataview/series_store.h"

class QWidget;
class TrendChart;

struct TrendWindowHandlers {
    // Adds the points that came since the last call.
    void (*collect)(SeriesStore& store) = nullptr;
    // The window holds no series any more (closed, or the last removed):
    // nothing needs to be collected for it.
    void (*stopped)() = nullptr;
};

// GUI thread, before the first series is added.
void SetTrendWindowHandlers(const TrendWindowHandlers& handlers);

// GUI thread: adds a series (opening the window when it is closed) and
// brings the window to the front. Returns the series' index, or -1 when the
// window already holds kMaxSeries (the user is told so) or the source cannot
// be plotted.
int AddTrendSeries(const SeriesSource& source);

// The open trend window and its store, or null (tests, pictures).
QWidget* TrendWindow();
const SeriesStore* TrendSeriesStore();

// The cursor's readout at a time: the local time, then each series' name
// and value, "-" where none was read (before its first point, in a gap).
// Values as the CSV writes them.
std::string TrendCursorText(const SeriesStore& store, int64_t timeMs);

// Puts the cursor at a time as the mouse would (tests, pictures); the
// readout shown under the chart.
void SetTrendCursor(int64_t timeMs);
std::string TrendReadout();

// Freezes the view's right edge at a time instead of the clock, and draws
// the chart for it (pictures).
void SetTrendViewEnd(int64_t timeMs);

// The open trend window's chart, or null (tests).
TrendChart* TrendWindowChart();
