#include "ui/trend_chart.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

#include "ui/trend_painting.h"

namespace {

constexpr int kDragThreshold = 5;  // pixels a box must span to zoom that way
constexpr double kZoomStep = 0.8;  // of the span, per notch of the wheel
constexpr double kShortestSpanMs = 10;
constexpr double kLongestSpanMs = 2.0 * kSeriesSpanMs;

}  // namespace

TrendChart::TrendChart(const SeriesStore& store, QWidget* parent) : QWidget(parent), store_(store)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(240, 160);
    setAutoFillBackground(true);
    for (size_t i = 0; i < store_.series.size(); i++)
        SeriesAdded();
}

void TrendChart::Follow()
{
    const bool changed = held_;
    held_ = false;
    std::fill(view_.fixed.begin(), view_.fixed.end(), std::nullopt);
    view_.sharedFixed.reset();
    view_.toMs = static_cast<double>(newestMs_);
    view_.fromMs = view_.toMs - static_cast<double>(spanMs_);
    Invalidate();
    if (changed && followingChanged)
        followingChanged();
}

bool TrendChart::Following() const
{
    return !held_;
}

void TrendChart::Hold()
{
    HoldView();
    Invalidate();
}

void TrendChart::SetSpan(int64_t spanMs)
{
    spanMs_ = std::max<int64_t>(spanMs, 1);
    view_.fromMs = view_.toMs - static_cast<double>(spanMs_);
    Invalidate();
}

void TrendChart::SetScales(TrendScales scales)
{
    view_.scales = scales;
    Invalidate();
}

void TrendChart::Advance(int64_t nowMs)
{
    newestMs_ = nowMs;
    // A held view stands: drawn again only when the user moves it.
    if (held_)
        return;
    view_.toMs = static_cast<double>(nowMs);
    view_.fromMs = view_.toMs - static_cast<double>(spanMs_);
    Invalidate();
}

void TrendChart::SeriesAdded()
{
    view_.shown.push_back(true);
    view_.fixed.emplace_back();
    Invalidate();
}

void TrendChart::SeriesRemoved(size_t index)
{
    if (index < view_.shown.size()) {
        view_.shown.erase(view_.shown.begin() + static_cast<std::ptrdiff_t>(index));
        view_.fixed.erase(view_.fixed.begin() + static_cast<std::ptrdiff_t>(index));
    }
    Invalidate();
}

void TrendChart::SetShown(size_t index, bool shown)
{
    if (index < view_.shown.size())
        view_.shown[index] = shown;
    Invalidate();
}

bool TrendChart::Shown(size_t index) const
{
    return index < view_.shown.size() && view_.shown[index];
}

void TrendChart::SetCursorTime(std::optional<int64_t> timeMs)
{
    cursor_ = timeMs;
    update();
    if (cursorMoved)
        cursorMoved();
}

std::optional<int64_t> TrendChart::CursorTime() const
{
    return cursor_;
}

int64_t TrendChart::ViewFromMs() const
{
    return static_cast<int64_t>(std::floor(view_.fromMs));
}

int64_t TrendChart::ViewToMs() const
{
    return static_cast<int64_t>(std::ceil(view_.toMs));
}

std::optional<ValueRange> TrendChart::RangeOf(size_t index) const
{
    for (const TrendLane& lane : Lay().lanes)
        if (std::find(lane.series.begin(), lane.series.end(), index) != lane.series.end())
            return lane.range;
    return std::nullopt;
}

QRect TrendChart::LegendEntry(size_t index) const
{
    const TrendLayout layout = Lay();
    return index < layout.legend.size() ? layout.legend[index] : QRect();
}

int TrendChart::PlotWidth() const
{
    return std::max(16, Laid().plot.width());
}

TrendLayout TrendChart::Lay() const
{
    return LayOutTrend(store_, view_, size(), fontMetrics());
}

const TrendLayout& TrendChart::Laid() const
{
    if (!laid_)
        laid_ = Lay();
    return *laid_;
}

void TrendChart::Invalidate()
{
    stale_ = true;
    update();
}

void TrendChart::resizeEvent(QResizeEvent* event)
{
    stale_ = true;
    laid_.reset();
    QWidget::resizeEvent(event);
}

void TrendChart::paintEvent(QPaintEvent*)
{
    // The chart is drawn again only when what it shows changed; the cursor
    // and a zoom box go on top of the last drawing.
    const qreal ratio = devicePixelRatioF();
    if (stale_ || frame_.size() != size() * ratio) {
        laid_ = Lay();
        frame_ = QPixmap(size() * ratio);
        frame_.setDevicePixelRatio(ratio);
        frame_.fill(palette().color(QPalette::Window));
        QPainter painter(&frame_);
        painter.setFont(font());
        PaintTrend(painter, store_, view_, *laid_, palette(), width());
        stale_ = false;
    }
    const TrendLayout& layout = Laid();
    QPainter painter(this);
    painter.drawPixmap(0, 0, frame_);
    if (cursor_) {
        const double x = TrendXOf(layout, view_, *cursor_);
        if (x >= layout.plot.left() && x <= layout.plot.right()) {
            painter.setPen(QPen(QColor(96, 96, 96), 1, Qt::DashLine));
            painter.drawLine(QPointF(x, layout.plot.top()), QPointF(x, layout.lanes.back().area.bottom()));
        }
    }
    if (drag_ == DragBox && dragLane_ >= 0 && dragLane_ < static_cast<int>(layout.lanes.size())) {
        const QRect box =
            QRect(dragFrom_, dragTo_).normalized().intersected(layout.lanes[static_cast<size_t>(dragLane_)].area);
        painter.setPen(QPen(QColor(64, 64, 64), 1, Qt::DashLine));
        painter.setBrush(QColor(48, 112, 176, 40));
        painter.drawRect(box);
    }
}

void TrendChart::HoldView()
{
    if (held_)
        return;
    held_ = true;
    if (followingChanged)
        followingChanged();
}

void TrendChart::SetTimeView(double fromMs, double toMs)
{
    double span = std::clamp(toMs - fromMs, kShortestSpanMs, kLongestSpanMs);
    const double middle = (fromMs + toMs) / 2;
    view_.fromMs = middle - span / 2;
    view_.toMs = middle + span / 2;
    HoldView();
    Invalidate();
}

void TrendChart::ZoomTime(const TrendLayout& layout, double x, double factor)
{
    const double at = TrendTimeAt(layout, view_, x);
    const double span = std::clamp((view_.toMs - view_.fromMs) * factor, kShortestSpanMs, kLongestSpanMs);
    const double share = (at - view_.fromMs) / (view_.toMs - view_.fromMs);
    SetTimeView(at - share * span, at + (1 - share) * span);
}

void TrendChart::SetLaneRange(const TrendLayout& layout, int lane, ValueRange range)
{
    if (lane < 0 || lane >= static_cast<int>(layout.lanes.size()) || !(range.high > range.low) ||
        !std::isfinite(range.high - range.low))
        return;
    FixedRangeOf(view_, layout.lanes[static_cast<size_t>(lane)]) = range;
    HoldView();
    Invalidate();
}

void TrendChart::ZoomValues(const TrendLayout& layout, int lane, double y, double factor)
{
    if (lane < 0 || lane >= static_cast<int>(layout.lanes.size()))
        return;
    const TrendLane& l = layout.lanes[static_cast<size_t>(lane)];
    const double at = TrendValueAt(l.area, l.range, y);
    SetLaneRange(layout, lane, {at - (at - l.range.low) * factor, at + (l.range.high - at) * factor});
}

void TrendChart::Pan(const TrendLayout& layout, int lane, QPoint by)
{
    const double msPerPixel = (view_.toMs - view_.fromMs) / layout.plot.width();
    if (by.x() != 0)
        SetTimeView(view_.fromMs - by.x() * msPerPixel, view_.toMs - by.x() * msPerPixel);
    if (by.y() != 0 && lane >= 0 && lane < static_cast<int>(layout.lanes.size())) {
        const TrendLane& l = layout.lanes[static_cast<size_t>(lane)];
        const double perPixel = (l.range.high - l.range.low) / std::max(1, l.area.height() - 2 * kTrendLaneInset);
        SetLaneRange(layout, lane, {l.range.low + by.y() * perPixel, l.range.high + by.y() * perPixel});
    }
    HoldView();
}

void TrendChart::mousePressEvent(QMouseEvent* event)
{
    const TrendLayout& layout = Laid();
    const QPoint at = event->position().toPoint();
    for (size_t s = 0; s < layout.legend.size(); s++) {
        if (event->button() == Qt::LeftButton && layout.legend[s].contains(at)) {
            SetShown(s, !Shown(s));
            return;
        }
    }
    const int lane = TrendLaneAt(layout, at);
    if (lane < 0 || at.x() > layout.plot.right()) {
        QWidget::mousePressEvent(event);
        return;
    }
    const bool pan = event->button() == Qt::MiddleButton ||
                     (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ShiftModifier));
    if (!pan && event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    drag_ = pan ? DragPan : DragBox;
    dragFrom_ = dragTo_ = at;
    dragLane_ = lane;
}

void TrendChart::mouseMoveEvent(QMouseEvent* event)
{
    const TrendLayout layout = Laid();
    const QPoint at = event->position().toPoint();
    const bool inside = at.x() >= layout.plot.left() && at.x() <= layout.plot.right() && at.y() >= layout.plot.top() &&
                        at.y() <= layout.lanes.back().area.bottom();
    std::optional<int64_t> cursor;
    if (inside)
        cursor = static_cast<int64_t>(std::llround(TrendTimeAt(layout, view_, at.x())));
    if (drag_ == DragPan) {
        Pan(layout, dragLane_, at - dragTo_);
        dragTo_ = at;
    } else if (drag_ == DragBox) {
        dragTo_ = at;
    }
    SetCursorTime(cursor);
}

void TrendChart::mouseReleaseEvent(QMouseEvent* event)
{
    const DragKind kind = drag_;
    drag_ = DragNone;
    if (kind != DragBox) {
        update();
        QWidget::mouseReleaseEvent(event);
        return;
    }
    const TrendLayout layout = Laid();
    if (dragLane_ < 0 || dragLane_ >= static_cast<int>(layout.lanes.size()))
        return;
    const TrendLane& lane = layout.lanes[static_cast<size_t>(dragLane_)];
    const QRect box = QRect(dragFrom_, event->position().toPoint()).normalized().intersected(lane.area);
    const ValueRange range{TrendValueAt(lane.area, lane.range, box.bottom() + 1),
                           TrendValueAt(lane.area, lane.range, box.top())};
    if (box.height() >= kDragThreshold)
        SetLaneRange(layout, dragLane_, range);
    if (box.width() >= kDragThreshold)
        SetTimeView(TrendTimeAt(layout, view_, box.left()), TrendTimeAt(layout, view_, box.right() + 1));
    update();
}

void TrendChart::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && TrendLaneAt(Laid(), event->position().toPoint()) >= 0)
        Follow();
}

void TrendChart::wheelEvent(QWheelEvent* event)
{
    const TrendLayout layout = Laid();
    const QPointF at = event->position();
    const double notches = event->angleDelta().y() / 120.0;
    if (notches == 0)
        return;
    const double factor = std::pow(kZoomStep, notches);
    const int lane = TrendLaneAt(layout, at.toPoint());
    if (lane >= 0 && ((event->modifiers() & Qt::ControlModifier) || at.x() < layout.plot.left()))
        ZoomValues(layout, lane, at.y(), factor);
    else
        ZoomTime(layout, std::clamp<double>(at.x(), layout.plot.left(), layout.plot.right()), factor);
    event->accept();
}

void TrendChart::keyPressEvent(QKeyEvent* event)
{
    const TrendLayout layout = Laid();
    const QPoint middle = layout.plot.center();
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
        Pan(layout, -1, QPoint((event->key() == Qt::Key_Left ? 1 : -1) * layout.plot.width() / 10, 0));
        break;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        ZoomTime(layout, middle.x(), kZoomStep);
        break;
    case Qt::Key_Minus:
        ZoomTime(layout, middle.x(), 1 / kZoomStep);
        break;
    case Qt::Key_End:
        Follow();
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void TrendChart::leaveEvent(QEvent* event)
{
    SetCursorTime(std::nullopt);
    QWidget::leaveEvent(event);
}

void TrendChart::contextMenuEvent(QContextMenuEvent* event)
{
    if (menuAsked)
        menuAsked(event->globalPos());
}
