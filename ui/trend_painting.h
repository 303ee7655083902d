// Drawing the trend chart as laid out (trend_layout.h): the lanes with
// their grids, ticks and names, the lines of the series (broken where no
// value was read, a bit's as steps), the time without cycles shaded and
// marked red on the time axis, the time ticks and the legend.
#pragma once

#include <QColor>
#include <QPalette>

#include "dataview/series_store.h"
#include "ui/trend_layout.h"

class QPainter;

// A series' colour: on white at 3:1 or more, each apart from the others.
QColor TrendSeriesColour(size_t index);

// Draws everything but the cursor and a zoom box, for a chart of width
// pixels in the palette's colours.
void PaintTrend(QPainter& painter, const SeriesStore& store, const TrendView& view, const TrendLayout& layout,
                const QPalette& palette, int width);
