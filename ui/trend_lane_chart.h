// One lane of the trend as a Qt chart: a QChart across the scene, without
// a background of its own (the lane, its shading and frame are drawn under
// and over it), its plot area on the lane, a time axis under it and a value
// axis on its left. Both axes are QCategoryAxis, labelled with the round
// ticks they are given and gridded there: a QValueAxis labels its dynamic
// ticks with a printf format (times can only be numbers there) and adds the
// step up from the first tick, so that a tick near zero can read "-0.0".
// Its legend floats at the top left of the lane, or where the names of
// hidden series go.
#pragma once

#include <QString>

#include <vector>

#include "dataview/chart_ticks.h"

class QCategoryAxis;
class QChart;
class QFont;
class QGraphicsScene;
class QPalette;
class QPoint;
class QRect;
class QSize;

struct TrendLaneChart {
    QChart* chart = nullptr;  // in the scene, which owns it
    QCategoryAxis* time = nullptr;
    QCategoryAxis* values = nullptr;
};

TrendLaneChart AddLaneChart(QGraphicsScene& scene, const QFont& font, const QPalette& palette);
void RemoveLaneChart(QGraphicsScene& scene, TrendLaneChart& lane);

// Shows the lane in a scene of size with its plot area at area; the time
// axis' texts under it or not; the time from fromMs to toMs with the
// ticks given, in local time utcOffsetMinutes ahead of UTC; the values in
// range with their ticks.
struct LaneAxes {
    double fromMs = 0;
    double toMs = 1;
    const TimeTicks* timeTicks = nullptr;
    int32_t utcOffsetMinutes = 0;
    bool timeTexts = false;
    ValueRange range;
    const ValueTicks* valueTicks = nullptr;
};
void ShowLaneChart(const TrendLaneChart& lane, const QSize& size, const QRect& area, const LaneAxes& axes);

// A lane whose series are all hidden: nothing but its legend.
void FoldLaneChart(const TrendLaneChart& lane);

// Puts the lane's legend with its top left at a point of the scene, as
// large as its entries.
void PlaceLaneLegend(const TrendLaneChart& lane, const QPoint& topLeft);

// The size of the lane's legend, as Qt Charts lays its entries out.
QSize LaneLegendSize(const TrendLaneChart& lane);
