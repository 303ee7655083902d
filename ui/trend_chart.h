// The trend chart: the series of a store drawn against wall-clock time,
// painted by the program itself so that it can do what a trend needs:
// - each series on a scale of its own (a lane each, stacked), or all on one;
// - the line broken where no value was read, and the time without cycles
//   shaded across the chart and marked red on the time axis;
// - round ticks, whole numbers for whole-numbered series;
// - a legend whose entries show and hide their series when clicked;
// - zoom: the wheel on the time axis (or, with Ctrl or over the value
//   labels, on the values of the lane under the mouse), and a box dragged
//   with the left button; pan: Shift and the left button, or the middle
//   one; the arrow keys and + and - do the same from the keyboard. Any of
//   them holds the view; Follow (a double-click, or End) goes back to
//   following the newest data with every scale automatic.
// The chart keeps what the user chose to see and takes the mouse and keys;
// trend_layout.h places the lanes, ticks and legend, trend_painting.h draws
// them. It reads the store it is given and never changes it.
#pragma once

#include <QPixmap>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "dataview/chart_ticks.h"
#include "dataview/series_store.h"
#include "ui/trend_layout.h"

class TrendChart : public QWidget {
public:
    TrendChart(const SeriesStore& store, QWidget* parent);

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
    // The legend's entry of a series, in the chart's coordinates (tests).
    QRect LegendEntry(size_t index) const;
    // The width the points are thinned to: the plot's, in pixels.
    int PlotWidth() const;

    // Told when the view was held or follows again, when the cursor moved,
    // and when the chart was right-clicked (global position).
    std::function<void()> followingChanged;
    std::function<void()> cursorMoved;
    std::function<void(const QPoint&)> menuAsked;

protected:
    void paintEvent(QPaintEvent* event) override;
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
    // The layout last drawn (laid out now when nothing was drawn yet).
    const TrendLayout& Laid() const;
    // What the chart shows changed: drawn again at the next paint.
    void Invalidate();

    // Changing the view; each holds it.
    void SetTimeView(double fromMs, double toMs);
    void ZoomTime(const TrendLayout& layout, double x, double factor);
    void SetLaneRange(const TrendLayout& layout, int lane, ValueRange range);
    void ZoomValues(const TrendLayout& layout, int lane, double y, double factor);
    void Pan(const TrendLayout& layout, int lane, QPoint by);
    void HoldView();

    const SeriesStore& store_;
    TrendView view_;
    bool held_ = false;        // the view stands where the user put it
    int64_t spanMs_ = 60'000;  // the span the view has while following
    int64_t newestMs_ = 0;     // the newest time given to Advance
    std::optional<int64_t> cursor_;

    // The last drawing, without cursor and zoom box, and its layout; stale
    // when what it shows changed.
    QPixmap frame_;
    mutable std::optional<TrendLayout> laid_;
    bool stale_ = true;

    // A drag under way: where it started, in which lane, and how.
    enum DragKind { DragNone, DragBox, DragPan };
    DragKind drag_ = DragNone;
    QPoint dragFrom_;
    QPoint dragTo_;
    int dragLane_ = -1;
};
