// The trend chart: the series of a store against wall-clock time, drawn by
// Qt Charts in one graphics view:
// - each series on a lane and scale of its own, stacked on one time axis
//   (a QChart each, trend_lane_chart.h), or all on one;
// - the line broken where no value was read (trend_series_lines.h), and
//   the time without cycles shaded across the lanes and marked red on the
//   time axis;
// - round ticks, whole numbers for whole-numbered series;
// - a legend whose entries show and hide their series when clicked: each
//   lane names its series at its top left; a hidden series on a scale of
//   its own gives up its lane and keeps its name under the time axis;
// - zoom: the wheel on the time axis (or, with Ctrl or over the value
//   labels, on the values of the lane under the mouse), and a box dragged
//   with the left button; pan: Shift and the left button, or the middle
//   one; the arrow keys and + and - do the same from the keyboard. Any of
//   them holds the view; Follow (a double-click, or End) goes back to
//   following the newest data with every scale automatic.
// trend_lanes.h places the lanes. The chart reads the store it is given
// and never changes it; it is drawn again whenever what it shows changed.
#pragma once

#include <QGraphicsScene>
#include <QGraphicsView>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "dataview/chart_ticks.h"
#include "dataview/series_store.h"
#include "ui/trend_lane_chart.h"
#include "ui/trend_lanes.h"
#include "ui/trend_series_lines.h"

class QGraphicsItem;
class QGraphicsLineItem;
class QRubberBand;

class TrendChart : public QGraphicsView {
public:
    TrendChart(const SeriesStore& store, QWidget* parent);
    ~TrendChart() override;

    // Following: the view ends at the newest time given to Advance and
    // spans the span, every value scale automatic.
    void Follow();
    bool Following() const;
    // Holds the view as it was last drawn (Pause).
    void Hold();
    void SetSpan(int64_t spanMs);
    void SetScales(TrendScales scales);
    // A following view is brought up to nowMs and drawn again; a held one
    // only learns where the newest data are.
    void Advance(int64_t nowMs);

    // The store gained a last series (shown), or lost one.
    void SeriesAdded();
    void SeriesRemoved(size_t index);
    void SetShown(size_t index, bool shown);
    bool Shown(size_t index) const;

    // The cursor: a time, or none.
    void SetCursorTime(std::optional<int64_t> timeMs);
    std::optional<int64_t> CursorTime() const;

    // What is shown: the time span, and the value range the series is drawn
    // against (none while it is hidden).
    int64_t ViewFromMs() const;
    int64_t ViewToMs() const;
    std::optional<ValueRange> RangeOf(size_t index) const;
    // The name of a series in the legend, in the chart's coordinates (tests).
    QRect LegendEntry(size_t index) const;
    // The width the points are thinned to: the plot's, in pixels.
    int PlotWidth() const;

    // Told when the view was held or follows again, when the cursor moved,
    // and when the chart was right-clicked (global position).
    std::function<void()> followingChanged;
    std::function<void()> cursorMoved;
    std::function<void(const QPoint&)> menuAsked;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    TrendLayout Lay() const;
    // The lane charts and the series in them, made anew (series added or
    // removed, scales switched).
    void Build();
    // Everything drawn again from the store for the view.
    void Redraw();
    void DrawMarks();
    void DrawCursor();

    // Changing the view; each holds it.
    void SetTimeView(double fromMs, double toMs);
    void ZoomTime(double x, double factor);
    void SetLaneRange(int lane, ValueRange range);
    void ZoomValues(int lane, double y, double factor);
    void Pan(int lane, QPoint by);
    void HoldView();

    const SeriesStore& store_;
    TrendView view_;
    bool held_ = false;        // the view stands where the user put it
    int64_t spanMs_ = 60'000;  // the span the view has while following
    int64_t newestMs_ = 0;     // the newest time given to Advance
    std::optional<int64_t> cursor_;

    QGraphicsScene scene_;
    // One per store series on scales of their own, one for all on a shared
    // scale; and each series' lines, in its lane's chart.
    std::vector<TrendLaneChart> charts_;
    std::vector<TrendSeriesLines> lines_;
    // What the charts do not draw, made again with each drawing: the lanes'
    // backgrounds and frames, the times without cycles, a note.
    std::vector<QGraphicsItem*> marks_;
    QGraphicsLineItem* cursorLine_ = nullptr;
    TrendLayout laid_;  // as last drawn

    // A drag under way: where it started, in which lane, and how; the box
    // shown while zooming.
    enum DragKind { DragNone, DragBox, DragPan, DragScene };
    DragKind drag_ = DragNone;
    QPoint dragFrom_;
    QPoint dragTo_;
    int dragLane_ = -1;
    QRubberBand* box_ = nullptr;
};
