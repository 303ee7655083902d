#include "ui/trend_chart.h"

#include <QChart>
#include <QContextMenuEvent>
#include <QGraphicsLineItem>
#include <QGraphicsRectItem>
#include <QGraphicsSimpleTextItem>
#include <QGraphicsTextItem>
#include <QKeyEvent>
#include <QLegend>
#include <QLegendMarker>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QRubberBand>
#include <QTextDocument>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kDragThreshold = 5;  // pixels a box must span to zoom that way
constexpr double kZoomStep = 0.8;  // of the span, per notch of the wheel
constexpr double kShortestSpanMs = 10;
constexpr double kLongestSpanMs = 2.0 * kSeriesSpanMs;

constexpr QRgb kFrameColour = qRgb(160, 160, 160);
constexpr QRgb kOutageFill = qRgb(236, 236, 236);
constexpr QRgb kOutageMark = qRgb(200, 0, 0);
constexpr QRgb kCursorColour = qRgb(96, 96, 96);
constexpr int kMarkHeight = 4;  // of the red mark

// Under the charts: the lanes and the shading; over them: the frames, the
// red marks and the cursor.
constexpr qreal kLaneZ = -2;
constexpr qreal kShadeZ = -1;
constexpr qreal kOverZ = 1;

// The legend entry of a name: the item whose text it is, in a legend's
// items.
const QGraphicsItem* EntryNamed(const QGraphicsItem* item, const QString& name)
{
    for (const QGraphicsItem* child : item->childItems()) {
        if (child->type() == QGraphicsTextItem::Type &&
            static_cast<const QGraphicsTextItem*>(child)->toPlainText() == name)
            return item;
        if (const QGraphicsItem* found = EntryNamed(child, name))
            return found;
    }
    return nullptr;
}

}  // namespace

TrendChart::TrendChart(const SeriesStore& store, QWidget* parent) : QGraphicsView(parent), store_(store)
{
    // Every item changes with each drawing: an index of where they are, or
    // a region of what changed, would be built for nothing.
    scene_.setItemIndexMethod(QGraphicsScene::NoIndex);
    setScene(&scene_);
    setViewportUpdateMode(QGraphicsView::FullViewportUpdate);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setRenderHint(QPainter::Antialiasing);
    setBackgroundBrush(palette().color(QPalette::Window));
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(240, 160);
    box_ = new QRubberBand(QRubberBand::Rectangle, viewport());
    cursorLine_ = scene_.addLine(QLineF(), QPen(QColor(kCursorColour), 1, Qt::DashLine));
    cursorLine_->setZValue(kOverZ);
    cursorLine_->hide();
    for (size_t i = 0; i < store_.series.size(); i++) {
        view_.shown.push_back(true);
        view_.fixed.emplace_back();
    }
    Build();
}

TrendChart::~TrendChart()
{
    // The scene goes first, with everything in it, while the view is whole.
    setScene(nullptr);
}

void TrendChart::Follow()
{
    const bool changed = held_;
    held_ = false;
    std::fill(view_.fixed.begin(), view_.fixed.end(), std::nullopt);
    view_.sharedFixed.reset();
    view_.toMs = static_cast<double>(newestMs_);
    view_.fromMs = view_.toMs - static_cast<double>(spanMs_);
    Redraw();
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
}

void TrendChart::SetSpan(int64_t spanMs)
{
    spanMs_ = std::max<int64_t>(spanMs, 1);
    view_.fromMs = view_.toMs - static_cast<double>(spanMs_);
    Redraw();
}

void TrendChart::SetScales(TrendScales scales)
{
    view_.scales = scales;
    Build();
}

void TrendChart::Advance(int64_t nowMs)
{
    newestMs_ = nowMs;
    // A held view stands: drawn again only when the user moves it.
    if (held_)
        return;
    view_.toMs = static_cast<double>(nowMs);
    view_.fromMs = view_.toMs - static_cast<double>(spanMs_);
    Redraw();
}

void TrendChart::SeriesAdded()
{
    view_.shown.push_back(true);
    view_.fixed.emplace_back();
    Build();
}

void TrendChart::SeriesRemoved(size_t index)
{
    if (index < view_.shown.size()) {
        view_.shown.erase(view_.shown.begin() + static_cast<std::ptrdiff_t>(index));
        view_.fixed.erase(view_.fixed.begin() + static_cast<std::ptrdiff_t>(index));
    }
    Build();
}

void TrendChart::SetShown(size_t index, bool shown)
{
    if (index >= view_.shown.size() || index >= lines_.size())
        return;
    view_.shown[index] = shown;
    ShowSeriesLines(lines_[index], shown, palette(), font());
    Redraw();
}

bool TrendChart::Shown(size_t index) const
{
    return index < view_.shown.size() && view_.shown[index];
}

void TrendChart::SetCursorTime(std::optional<int64_t> timeMs)
{
    cursor_ = timeMs;
    DrawCursor();
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
    if (index >= lines_.size() || index >= store_.series.size())
        return {};
    const QGraphicsItem* entry =
        EntryNamed(lines_[index].chart->legend(), QString::fromStdString(store_.series[index].name));
    return entry ? mapFromScene(entry->sceneBoundingRect()).boundingRect() : QRect();
}

int TrendChart::PlotWidth() const
{
    return std::max(16, laid_.plot.width());
}

TrendLayout TrendChart::Lay() const
{
    std::vector<QSize> entries(store_.series.size());
    if (view_.scales == ScalesPerSeries)
        for (size_t s = 0; s < entries.size() && s < charts_.size(); s++)
            entries[s] = LaneLegendSize(charts_[s]);
    return LayOutTrend(store_, view_, viewport()->size(), fontMetrics(), entries);
}

void TrendChart::Build()
{
    for (TrendLaneChart& lane : charts_)
        RemoveLaneChart(scene_, lane);
    charts_.clear();
    lines_.clear();
    const size_t lanes = view_.scales == ScalesShared ? 1 : std::max<size_t>(store_.series.size(), 1);
    for (size_t i = 0; i < lanes; i++)
        charts_.push_back(AddLaneChart(scene_, font(), palette()));
    for (size_t s = 0; s < store_.series.size(); s++) {
        lines_.push_back(AddSeriesLines(charts_[view_.scales == ScalesShared ? 0 : s].chart, store_.series[s], s));
        ShowSeriesLines(lines_.back(), Shown(s), palette(), font());
        if (QLegendMarker* entry = SeriesLegendMarker(lines_.back()))
            connect(entry, &QLegendMarker::clicked, this, [this, s] { SetShown(s, !Shown(s)); });
    }
    Redraw();
}

void TrendChart::Redraw()
{
    laid_ = Lay();
    const QSize size = viewport()->size();
    // Per chart: the top left of its legend.
    std::vector<QPoint> legends(charts_.size());
    std::vector<bool> placed(charts_.size(), false);
    for (size_t i = 0; i < laid_.lanes.size(); i++) {
        const TrendLane& lane = laid_.lanes[i];
        // A lane with nothing shown has axes only while there is no series
        // at all or all share them; hidden series on scales of their own
        // keep their names under the time axis instead.
        size_t c = 0;
        if (view_.scales == ScalesPerSeries && !lane.series.empty())
            c = lane.series.front();
        else if (view_.scales == ScalesPerSeries && !store_.series.empty())
            continue;
        if (c >= charts_.size())
            continue;
        ShowLaneChart(charts_[c], size, lane.area,
                      {view_.fromMs, view_.toMs, &laid_.timeTicks, laid_.utcOffsetMinutes, i + 1 == laid_.lanes.size(),
                       lane.range, &lane.ticks});
        legends[c] = lane.area.topLeft() + QPoint(2, 2);
        placed[c] = true;
    }
    for (size_t c = 0; c < charts_.size(); c++) {
        if (placed[c])
            continue;
        FoldLaneChart(charts_[c]);
        if (c < laid_.folded.size())
            legends[c] = laid_.folded[c].topLeft();
    }
    const auto from = static_cast<int64_t>(std::floor(view_.fromMs));
    const auto to = static_cast<int64_t>(std::ceil(view_.toMs));
    for (size_t s = 0; s < lines_.size() && s < store_.series.size(); s++)
        if (Shown(s))
            DrawSeriesLines(lines_[s], store_.series[s], from, to, static_cast<size_t>(PlotWidth()));
    // Last: a legend hides its entries while a series is added to its chart.
    for (size_t c = 0; c < charts_.size(); c++)
        PlaceLaneLegend(charts_[c], legends[c]);
    DrawMarks();
    DrawCursor();
}

void TrendChart::DrawMarks()
{
    for (QGraphicsItem* item : marks_)
        delete item;
    marks_.clear();
    auto mark = [this](QGraphicsItem* item, qreal z) {
        item->setZValue(z);
        marks_.push_back(item);
    };
    for (const TrendLane& lane : laid_.lanes) {
        mark(scene_.addRect(lane.area, Qt::NoPen, palette().color(QPalette::Base)), kLaneZ);
        mark(scene_.addRect(QRectF(lane.area).adjusted(0.5, 0.5, -0.5, -0.5), QPen(QColor(kFrameColour)), Qt::NoBrush),
             kOverZ);
    }

    // The times without cycles: shaded across every lane, red on the time
    // axis, and named where there is room.
    std::vector<TimeSpan> outages = store_.outages;
    if (store_.outageFrom)
        outages.push_back(
            {*store_.outageFrom, std::max(*store_.outageFrom, static_cast<int64_t>(std::ceil(view_.toMs)))});
    const QRect& plot = laid_.plot;
    for (const TimeSpan& outage : outages) {
        const double x0 = std::max<double>(plot.left(), TrendXOf(laid_, view_, outage.fromMs));
        const double x1 = std::min<double>(plot.right() + 1, TrendXOf(laid_, view_, outage.toMs));
        if (x1 <= x0)
            continue;
        mark(scene_.addRect(QRectF(x0, plot.top(), x1 - x0, plot.height()), Qt::NoPen, QColor(kOutageFill)), kShadeZ);
        // On the time axis, where the chart has no value to hide.
        mark(scene_.addRect(QRectF(x0, plot.bottom() + 1 - kMarkHeight, x1 - x0, kMarkHeight), Qt::NoPen,
                            QColor(kOutageMark)),
             kOverZ);
        const QString text = QStringLiteral("no data");
        if (x1 - x0 > fontMetrics().horizontalAdvance(text) + 8) {
            auto* name = scene_.addSimpleText(text, font());
            name->setBrush(palette().color(QPalette::WindowText));
            name->setPos((x0 + x1 - name->boundingRect().width()) / 2, plot.top() + 2);
            mark(name, kOverZ);
        }
    }

    if (!store_.series.empty() && std::find(view_.shown.begin(), view_.shown.end(), true) != view_.shown.end())
        return;
    const QRect& area = laid_.lanes.front().area;
    auto* note =
        scene_.addText(store_.series.empty() ? QStringLiteral("Nothing plotted.")
                                             : QStringLiteral("Every series is hidden: click a name to show it."),
                       font());
    note->setDefaultTextColor(palette().color(QPalette::WindowText));
    note->setTextWidth(area.width() - 16);
    QTextOption centred(Qt::AlignCenter);
    centred.setWrapMode(QTextOption::WordWrap);
    note->document()->setDefaultTextOption(centred);
    note->setPos(area.left() + 8, area.center().y() - note->boundingRect().height() / 2);
    mark(note, kOverZ);
}

void TrendChart::DrawCursor()
{
    const QRect& plot = laid_.plot;
    const double x = cursor_ ? TrendXOf(laid_, view_, *cursor_) : -1;
    if (!cursor_ || x < plot.left() || x > plot.right() + 1) {
        cursorLine_->hide();
        return;
    }
    cursorLine_->setLine(QLineF(x, plot.top(), x, plot.bottom() + 1));
    cursorLine_->show();
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
    Redraw();
}

void TrendChart::ZoomTime(double x, double factor)
{
    const double at = TrendTimeAt(laid_, view_, x);
    const double span = std::clamp((view_.toMs - view_.fromMs) * factor, kShortestSpanMs, kLongestSpanMs);
    const double share = (at - view_.fromMs) / (view_.toMs - view_.fromMs);
    SetTimeView(at - share * span, at + (1 - share) * span);
}

void TrendChart::SetLaneRange(int lane, ValueRange range)
{
    if (lane < 0 || lane >= static_cast<int>(laid_.lanes.size()) || !(range.high > range.low) ||
        !std::isfinite(range.high - range.low))
        return;
    FixedRangeOf(view_, laid_.lanes[static_cast<size_t>(lane)]) = range;
    HoldView();
    Redraw();
}

void TrendChart::ZoomValues(int lane, double y, double factor)
{
    if (lane < 0 || lane >= static_cast<int>(laid_.lanes.size()))
        return;
    const TrendLane& l = laid_.lanes[static_cast<size_t>(lane)];
    const double at = TrendValueAt(l.area, l.range, y);
    SetLaneRange(lane, {at - (at - l.range.low) * factor, at + (l.range.high - at) * factor});
}

void TrendChart::Pan(int lane, QPoint by)
{
    const double msPerPixel = (view_.toMs - view_.fromMs) / laid_.plot.width();
    if (lane >= 0 && lane < static_cast<int>(laid_.lanes.size()) && by.y() != 0) {
        const TrendLane& l = laid_.lanes[static_cast<size_t>(lane)];
        const double perPixel = (l.range.high - l.range.low) / std::max(1, l.area.height());
        SetLaneRange(lane, {l.range.low + by.y() * perPixel, l.range.high + by.y() * perPixel});
    }
    if (by.x() != 0)
        SetTimeView(view_.fromMs - by.x() * msPerPixel, view_.toMs - by.x() * msPerPixel);
    HoldView();
}

void TrendChart::mousePressEvent(QMouseEvent* event)
{
    // A legend entry takes its own clicks.
    QGraphicsView::mousePressEvent(event);
    if (event->isAccepted()) {
        drag_ = DragScene;
        return;
    }
    const QPoint at = event->position().toPoint();
    const int lane = TrendLaneAt(laid_, at);
    if (lane < 0 || at.x() > laid_.plot.right())
        return;
    const bool pan = event->button() == Qt::MiddleButton ||
                     (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ShiftModifier));
    if (!pan && event->button() != Qt::LeftButton)
        return;
    drag_ = pan ? DragPan : DragBox;
    dragFrom_ = dragTo_ = at;
    dragLane_ = lane;
    event->accept();
}

void TrendChart::mouseMoveEvent(QMouseEvent* event)
{
    if (drag_ == DragScene) {
        QGraphicsView::mouseMoveEvent(event);
        return;
    }
    const QPoint at = event->position().toPoint();
    const QRect& plot = laid_.plot;
    std::optional<int64_t> cursor;
    if (at.x() >= plot.left() && at.x() <= plot.right() && at.y() >= plot.top() && at.y() <= plot.bottom())
        cursor = static_cast<int64_t>(std::llround(TrendTimeAt(laid_, view_, at.x())));
    if (drag_ == DragPan) {
        Pan(dragLane_, at - dragTo_);
        dragTo_ = at;
    } else if (drag_ == DragBox && dragLane_ >= 0 && dragLane_ < static_cast<int>(laid_.lanes.size())) {
        dragTo_ = at;
        box_->setGeometry(
            QRect(dragFrom_, dragTo_).normalized().intersected(laid_.lanes[static_cast<size_t>(dragLane_)].area));
        box_->show();
    }
    SetCursorTime(cursor);
}

void TrendChart::mouseReleaseEvent(QMouseEvent* event)
{
    const DragKind kind = drag_;
    drag_ = DragNone;
    box_->hide();
    if (kind == DragScene) {
        QGraphicsView::mouseReleaseEvent(event);
        return;
    }
    if (kind != DragBox || dragLane_ < 0 || dragLane_ >= static_cast<int>(laid_.lanes.size()))
        return;
    const TrendLane& lane = laid_.lanes[static_cast<size_t>(dragLane_)];
    const QRect box = QRect(dragFrom_, event->position().toPoint()).normalized().intersected(lane.area);
    const ValueRange range{TrendValueAt(lane.area, lane.range, box.bottom() + 1),
                           TrendValueAt(lane.area, lane.range, box.top())};
    const double fromMs = TrendTimeAt(laid_, view_, box.left());
    const double toMs = TrendTimeAt(laid_, view_, box.right() + 1);
    if (box.height() >= kDragThreshold)
        SetLaneRange(dragLane_, range);
    if (box.width() >= kDragThreshold)
        SetTimeView(fromMs, toMs);
}

void TrendChart::mouseDoubleClickEvent(QMouseEvent* event)
{
    QGraphicsView::mouseDoubleClickEvent(event);
    if (event->isAccepted()) {
        drag_ = DragScene;
        return;
    }
    if (event->button() == Qt::LeftButton && TrendLaneAt(laid_, event->position().toPoint()) >= 0)
        Follow();
}

void TrendChart::wheelEvent(QWheelEvent* event)
{
    const QPointF at = event->position();
    const double notches = event->angleDelta().y() / 120.0;
    if (notches == 0)
        return;
    const double factor = std::pow(kZoomStep, notches);
    const int lane = TrendLaneAt(laid_, at.toPoint());
    if (lane >= 0 && ((event->modifiers() & Qt::ControlModifier) || at.x() < laid_.plot.left()))
        ZoomValues(lane, at.y(), factor);
    else
        ZoomTime(std::clamp<double>(at.x(), laid_.plot.left(), laid_.plot.right()), factor);
    event->accept();
}

void TrendChart::keyPressEvent(QKeyEvent* event)
{
    const QPoint middle = laid_.plot.center();
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
        Pan(-1, QPoint((event->key() == Qt::Key_Left ? 1 : -1) * laid_.plot.width() / 10, 0));
        break;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        ZoomTime(middle.x(), kZoomStep);
        break;
    case Qt::Key_Minus:
        ZoomTime(middle.x(), 1 / kZoomStep);
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
    QGraphicsView::leaveEvent(event);
}

void TrendChart::contextMenuEvent(QContextMenuEvent* event)
{
    if (menuAsked)
        menuAsked(event->globalPos());
}

void TrendChart::resizeEvent(QResizeEvent* event)
{
    QGraphicsView::resizeEvent(event);
    scene_.setSceneRect(QRectF(QPointF(0, 0), QSizeF(viewport()->size())));
    Redraw();
}
