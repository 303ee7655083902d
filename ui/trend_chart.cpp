#include "ui/trend_chart.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QResizeEvent>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <limits>

#include "dataview/wall_clock.h"

namespace {

// Lines on white at 3:1 or more, each apart from the others.
constexpr QRgb kSeriesColours[] = {qRgb(31, 119, 180), qRgb(214, 39, 40), qRgb(44, 160, 44),  qRgb(148, 103, 189),
                                   qRgb(230, 110, 0),  qRgb(140, 86, 75), qRgb(200, 80, 160), qRgb(0, 150, 170)};
constexpr QRgb kGridColour = qRgb(225, 225, 225);
constexpr QRgb kFrameColour = qRgb(160, 160, 160);
constexpr QRgb kOutageFill = qRgb(236, 236, 236);
constexpr QRgb kOutageMark = qRgb(200, 0, 0);
constexpr int kLaneGap = 8;
constexpr int kLaneInset = 4;      // between a lane's edge and its highest and lowest value
constexpr int kMarkHeight = 4;     // the red mark of an outage on the time axis
constexpr int kDragThreshold = 5;  // pixels a box must span to zoom that way
constexpr double kZoomStep = 0.8;  // of the span, per notch of the wheel
constexpr double kShortestSpanMs = 10;
constexpr double kLongestSpanMs = 2.0 * kSeriesSpanMs;

QColor SeriesColour(size_t index)
{
    return QColor(kSeriesColours[index % std::size(kSeriesColours)]);
}

// The part of a lane the values are drawn in.
QRect Inner(const QRect& area)
{
    return area.adjusted(0, kLaneInset, 0, -kLaneInset);
}

double YOf(const QRect& area, const ValueRange& range, double value)
{
    const QRect inner = Inner(area);
    return inner.bottom() + 1 - (value - range.low) / (range.high - range.low) * inner.height();
}

double ValueAt(const QRect& area, const ValueRange& range, double y)
{
    const QRect inner = Inner(area);
    return range.low + (inner.bottom() + 1 - y) / inner.height() * (range.high - range.low);
}

bool IsBitLane(const SeriesStore& store, const std::vector<size_t>& series)
{
    return !series.empty() && std::all_of(series.begin(), series.end(),
                                          [&](size_t s) { return store.series[s].source.type == SeriesBit; });
}

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
    std::fill(fixed_.begin(), fixed_.end(), std::nullopt);
    sharedFixed_.reset();
    toMs_ = static_cast<double>(newestMs_);
    fromMs_ = toMs_ - static_cast<double>(spanMs_);
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
    fromMs_ = toMs_ - static_cast<double>(spanMs_);
    Invalidate();
}

void TrendChart::SetScales(TrendScales scales)
{
    scales_ = scales;
    Invalidate();
}

TrendScales TrendChart::Scales() const
{
    return scales_;
}

void TrendChart::Advance(int64_t nowMs)
{
    newestMs_ = nowMs;
    // A held view stands: drawn again only when the user moves it.
    if (held_)
        return;
    toMs_ = static_cast<double>(nowMs);
    fromMs_ = toMs_ - static_cast<double>(spanMs_);
    Invalidate();
}

void TrendChart::SeriesAdded()
{
    shown_.push_back(true);
    fixed_.emplace_back();
    Invalidate();
}

void TrendChart::SeriesRemoved(size_t index)
{
    if (index < shown_.size()) {
        shown_.erase(shown_.begin() + static_cast<std::ptrdiff_t>(index));
        fixed_.erase(fixed_.begin() + static_cast<std::ptrdiff_t>(index));
    }
    Invalidate();
}

void TrendChart::SetShown(size_t index, bool shown)
{
    if (index < shown_.size())
        shown_[index] = shown;
    Invalidate();
}

bool TrendChart::Shown(size_t index) const
{
    return index < shown_.size() && shown_[index];
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
    return static_cast<int64_t>(std::floor(fromMs_));
}

int64_t TrendChart::ViewToMs() const
{
    return static_cast<int64_t>(std::ceil(toMs_));
}

std::optional<ValueRange> TrendChart::RangeOf(size_t index) const
{
    for (const Lane& lane : Lay().lanes)
        if (std::find(lane.series.begin(), lane.series.end(), index) != lane.series.end())
            return lane.range;
    return std::nullopt;
}

QRect TrendChart::LegendEntry(size_t index) const
{
    const Layout layout = Lay();
    return index < layout.legend.size() ? layout.legend[index] : QRect();
}

int TrendChart::PlotWidth() const
{
    return std::max(16, Laid().plot.width());
}

std::optional<ValueRange>& TrendChart::FixedRange(const Lane& lane)
{
    if (scales_ == ScalesShared || lane.series.empty())
        return sharedFixed_;
    return fixed_[lane.series.front()];
}

const std::optional<ValueRange>& TrendChart::FixedRange(const Lane& lane) const
{
    if (scales_ == ScalesShared || lane.series.empty())
        return sharedFixed_;
    return fixed_[lane.series.front()];
}

ValueRange TrendChart::AutoRange(const std::vector<size_t>& series, int maxTicks) const
{
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    const auto from = static_cast<int64_t>(std::floor(fromMs_));
    const auto to = static_cast<int64_t>(std::ceil(toMs_));
    bool whole = true;
    for (size_t s : series) {
        const Series& one = store_.series[s];
        whole = whole && SeriesIsWhole(one.source);
        for (const SeriesPoint& p : PointsForView(one, from, to, 512)) {
            // An infinity or NaN read as a float is drawn off the chart but
            // must not take the range with it.
            if (p.timeMs < from || p.timeMs > to || !std::isfinite(p.value))
                continue;
            low = std::min(low, p.value);
            high = std::max(high, p.value);
        }
    }
    if (low > high)
        return {0, 1};
    return RoundValueRange(low, high, maxTicks, whole);
}

std::vector<TrendChart::Lane> TrendChart::Lanes(const QRect& plot) const
{
    std::vector<Lane> lanes;
    for (size_t s = 0; s < store_.series.size() && s < shown_.size(); s++) {
        if (!shown_[s])
            continue;
        if (scales_ == ScalesShared && !lanes.empty())
            lanes.front().series.push_back(s);
        else
            lanes.push_back({{s}, {}, {}, {}});
    }
    if (lanes.empty())
        lanes.push_back({});
    // A lane of bits needs room for 0 and 1 only; the others share the rest.
    const int count = static_cast<int>(lanes.size());
    const int rowHeight = fontMetrics().height();
    const int share = std::max(1, (plot.height() - kLaneGap * (count - 1)) / count);
    const int bitHeight = std::min(share, 4 * rowHeight);
    int bitLanes = 0;
    for (const Lane& lane : lanes)
        bitLanes += IsBitLane(store_, lane.series);
    const int valueHeight =
        bitLanes == count
            ? share
            : std::max(1, (plot.height() - kLaneGap * (count - 1) - bitLanes * bitHeight) / (count - bitLanes));
    int top = plot.top();
    for (int i = 0; i < count; i++) {
        Lane& lane = lanes[static_cast<size_t>(i)];
        const int height = IsBitLane(store_, lane.series) && bitLanes < count ? bitHeight : valueHeight;
        lane.area = QRect(plot.left(), top, plot.width(), height);
        top += height + kLaneGap;
        // As many ticks as their texts leave room for, so that the range
        // wastes little of the lane.
        const int maxTicks = std::max(2, Inner(lane.area).height() / (rowHeight + 2) + 1);
        bool whole = true;
        for (size_t s : lane.series)
            whole = whole && SeriesIsWhole(store_.series[s].source);
        if (IsBitLane(store_, lane.series) && !FixedRange(lane)) {
            // A bit is 0 or 1: both always in view, with room for the line.
            lane.range = {-0.2, 1.2};
            lane.ticks.step = 1;
            lane.ticks.values = {0, 1};
            continue;
        }
        lane.range = FixedRange(lane).value_or(AutoRange(lane.series, maxTicks));
        lane.ticks = RoundValueTicks(lane.range.low, lane.range.high, maxTicks, whole);
    }
    return lanes;
}

TrendChart::Layout TrendChart::Lay() const
{
    Layout layout;
    const QFontMetrics metrics = fontMetrics();
    const int row = metrics.height() + 4;

    // The legend's entries, in rows under the time axis.
    const int square = metrics.height() * 2 / 3;
    std::vector<QSize> sizes;
    for (const Series& series : store_.series)
        sizes.emplace_back(square + 6 + metrics.horizontalAdvance(QString::fromStdString(series.name)), row);
    int rows = sizes.empty() ? 0 : 1;
    for (int x = 8, i = 0; i < static_cast<int>(sizes.size()); i++) {
        if (x > 8 && x + sizes[static_cast<size_t>(i)].width() > width() - 8) {
            rows++;
            x = 8;
        }
        x += sizes[static_cast<size_t>(i)].width() + 16;
    }
    const int legendTop = height() - rows * row - 4;

    const QRect provisional(0, 6, width(), legendTop - 6 - row - kMarkHeight);
    layout.lanes = Lanes(provisional);
    int labels = metrics.horizontalAdvance(QStringLiteral("0"));
    for (const Lane& lane : layout.lanes)
        for (double v : lane.ticks.values)
            labels = std::max(labels, metrics.horizontalAdvance(QString::fromStdString(ValueTickText(v, lane.ticks))));
    layout.plot = QRect(labels + 12, provisional.top(), std::max(16, width() - labels - 24), provisional.height());
    for (Lane& lane : layout.lanes)
        lane.area = QRect(layout.plot.left(), lane.area.top(), layout.plot.width(), lane.area.height());

    const auto to = static_cast<int64_t>(std::ceil(toMs_));
    layout.utcOffsetMinutes = UtcOffsetMinutesAt(to);
    const int tickRoom = metrics.horizontalAdvance(QStringLiteral("00:00:00.000")) + 16;
    layout.timeTicks = RoundTimeTicks(static_cast<int64_t>(std::floor(fromMs_)), to,
                                      std::max(2, layout.plot.width() / tickRoom), layout.utcOffsetMinutes);

    int x = 8, y = legendTop;
    for (const QSize& size : sizes) {
        if (x > 8 && x + size.width() > width() - 8) {
            x = 8;
            y += row;
        }
        layout.legend.emplace_back(QPoint(x, y), size);
        x += size.width() + 16;
    }
    return layout;
}

int TrendChart::LaneAt(const Layout& layout, const QPoint& at) const
{
    for (size_t i = 0; i < layout.lanes.size(); i++)
        if (at.y() >= layout.lanes[i].area.top() - kLaneGap / 2 &&
            at.y() <= layout.lanes[i].area.bottom() + kLaneGap / 2)
            return static_cast<int>(i);
    return -1;
}

double TrendChart::TimeAt(const Layout& layout, double x) const
{
    return fromMs_ + (x - layout.plot.left()) / layout.plot.width() * (toMs_ - fromMs_);
}

double TrendChart::XOf(const Layout& layout, int64_t timeMs) const
{
    return layout.plot.left() + (static_cast<double>(timeMs) - fromMs_) / (toMs_ - fromMs_) * layout.plot.width();
}

void TrendChart::DrawOutages(QPainter& painter, const Layout& layout) const
{
    std::vector<TimeSpan> outages = store_.outages;
    if (store_.outageFrom)
        outages.push_back({*store_.outageFrom, std::max(*store_.outageFrom, ViewToMs())});
    const int top = layout.plot.top();
    const int bottom = layout.lanes.back().area.bottom();
    for (const TimeSpan& outage : outages) {
        const double x0 = std::max<double>(layout.plot.left(), XOf(layout, outage.fromMs));
        const double x1 = std::min<double>(layout.plot.right() + 1, XOf(layout, outage.toMs));
        if (x1 <= x0)
            continue;
        const QRectF band(x0, top, x1 - x0, bottom - top + 1);
        painter.fillRect(band, QColor(kOutageFill));
        painter.fillRect(QRectF(x0, bottom + 1, x1 - x0, kMarkHeight), QColor(kOutageMark));
        const QString text = QStringLiteral("no data");
        if (band.width() > painter.fontMetrics().horizontalAdvance(text) + 8) {
            painter.setPen(palette().color(QPalette::WindowText));
            painter.drawText(band.adjusted(0, 2, 0, 0), Qt::AlignHCenter | Qt::AlignTop, text);
        }
    }
}

void TrendChart::DrawSeries(QPainter& painter, const Layout& layout, const Lane& lane, size_t index) const
{
    const Series& series = store_.series[index];
    const bool steps = series.source.type == SeriesBit;
    const std::vector<SeriesPoint> points =
        PointsForView(series, ViewFromMs(), ViewToMs(), static_cast<size_t>(std::max(16, layout.plot.width())));
    painter.setPen(QPen(SeriesColour(index), 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPolygonF run;
    auto flush = [&] {
        if (run.size() == 1)  // a lone value between two gaps
            painter.drawEllipse(run.front(), 1.5, 1.5);
        else if (run.size() > 1)
            painter.drawPolyline(run);
        run.clear();
    };
    const SeriesPoint* previous = nullptr;
    for (const SeriesPoint& p : points) {
        if (!std::isfinite(p.value)) {
            flush();
            previous = nullptr;
            continue;
        }
        if (previous && BrokenBetween(series, previous->timeMs, p.timeMs))
            flush();
        const QPointF at(XOf(layout, p.timeMs), YOf(lane.area, lane.range, p.value));
        // A bit holds its value until the next read: drawn as steps.
        if (steps && !run.isEmpty())
            run << QPointF(at.x(), run.back().y());
        run << at;
        previous = &p;
    }
    flush();
}

void TrendChart::DrawLegend(QPainter& painter, const Layout& layout) const
{
    const QFontMetrics metrics = painter.fontMetrics();
    const int square = metrics.height() * 2 / 3;
    for (size_t s = 0; s < layout.legend.size() && s < store_.series.size(); s++) {
        const QRect entry = layout.legend[s];
        const QRect box(entry.left(), entry.center().y() - square / 2, square, square);
        const bool shown = Shown(s);
        painter.setPen(SeriesColour(s));
        painter.setBrush(shown ? QBrush(SeriesColour(s)) : Qt::NoBrush);
        painter.drawRect(box);
        painter.setBrush(Qt::NoBrush);
        QFont font = painter.font();
        font.setStrikeOut(!shown);
        painter.setFont(font);
        painter.setPen(palette().color(shown ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
        painter.drawText(entry.adjusted(square + 6, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                         QString::fromStdString(store_.series[s].name));
        font.setStrikeOut(false);
        painter.setFont(font);
    }
}

void TrendChart::Invalidate()
{
    stale_ = true;
    update();
}

const TrendChart::Layout& TrendChart::Laid() const
{
    if (!laid_)
        laid_ = Lay();
    return *laid_;
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
        Render(painter, *laid_);
        stale_ = false;
    }
    const Layout& layout = Laid();
    QPainter painter(this);
    painter.drawPixmap(0, 0, frame_);
    if (cursor_) {
        const double x = XOf(layout, *cursor_);
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

void TrendChart::Render(QPainter& painter, const Layout& layout) const
{
    const QColor text = palette().color(QPalette::WindowText);
    const QFontMetrics metrics = painter.fontMetrics();

    for (const Lane& lane : layout.lanes)
        painter.fillRect(lane.area, palette().color(QPalette::Base));
    DrawOutages(painter, layout);

    // The time axis: its grid through every lane, its texts under the last.
    const int axis = layout.lanes.back().area.bottom() + kMarkHeight + 2;
    for (int64_t t : layout.timeTicks.timesMs) {
        const double x = XOf(layout, t);
        painter.setPen(QColor(kGridColour));
        for (const Lane& lane : layout.lanes)
            painter.drawLine(QPointF(x, lane.area.top()), QPointF(x, lane.area.bottom()));
        const QString label = QString::fromStdString(TimeTickText(t, layout.timeTicks.stepMs, layout.utcOffsetMinutes));
        const int w = metrics.horizontalAdvance(label);
        const double left = std::clamp(x - w / 2.0, 0.0, static_cast<double>(width() - w));
        painter.setPen(text);
        painter.drawText(QPointF(left, axis + metrics.ascent()), label);
    }

    for (const Lane& lane : layout.lanes) {
        for (double v : lane.ticks.values) {
            const double y = YOf(lane.area, lane.range, v);
            if (y < lane.area.top() || y > lane.area.bottom() + 1)
                continue;
            painter.setPen(QColor(kGridColour));
            painter.drawLine(QPointF(lane.area.left(), y), QPointF(lane.area.right(), y));
            const QString label = QString::fromStdString(ValueTickText(v, lane.ticks));
            painter.setPen(text);
            painter.drawText(QRectF(0, y - metrics.height(), lane.area.left() - 6, 2 * metrics.height()),
                             Qt::AlignRight | Qt::AlignVCenter, label);
        }
        painter.save();
        painter.setClipRect(lane.area);
        painter.setRenderHint(QPainter::Antialiasing);
        for (size_t s : lane.series)
            DrawSeries(painter, layout, lane, s);
        painter.restore();
        painter.setPen(QColor(kFrameColour));
        painter.drawRect(lane.area.adjusted(0, 0, -1, -1));
        // Each scale of its own names its series, so that the lane reads
        // without the legend.
        if (scales_ == ScalesPerSeries && lane.series.size() == 1) {
            const size_t s = lane.series.front();
            const QString name = QString::fromStdString(store_.series[s].name);
            const int square = metrics.height() * 2 / 3;
            const QRect label(lane.area.left() + 4, lane.area.top() + 2, square + 12 + metrics.horizontalAdvance(name),
                              metrics.height());
            painter.fillRect(label, QColor(255, 255, 255, 210));
            painter.fillRect(QRect(label.left() + 2, label.center().y() - square / 2, square, square), SeriesColour(s));
            painter.setPen(text);
            painter.drawText(label.adjusted(square + 6, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, name);
        }
    }
    if (store_.series.empty() || std::none_of(shown_.begin(), shown_.end(), [](bool b) { return b; })) {
        painter.setPen(text);
        painter.drawText(layout.lanes.front().area, Qt::AlignCenter | Qt::TextWordWrap,
                         store_.series.empty()
                             ? QStringLiteral("Nothing plotted.")
                             : QStringLiteral("Every series is hidden: click a name below to show it."));
    }
    DrawLegend(painter, layout);
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
    fromMs_ = middle - span / 2;
    toMs_ = middle + span / 2;
    HoldView();
    Invalidate();
}

void TrendChart::ZoomTime(const Layout& layout, double x, double factor)
{
    const double at = TimeAt(layout, x);
    const double span = std::clamp((toMs_ - fromMs_) * factor, kShortestSpanMs, kLongestSpanMs);
    const double share = (at - fromMs_) / (toMs_ - fromMs_);
    SetTimeView(at - share * span, at + (1 - share) * span);
}

void TrendChart::SetLaneRange(const Layout& layout, int lane, ValueRange range)
{
    if (lane < 0 || lane >= static_cast<int>(layout.lanes.size()) || !(range.high > range.low) ||
        !std::isfinite(range.high - range.low))
        return;
    FixedRange(layout.lanes[static_cast<size_t>(lane)]) = range;
    HoldView();
    Invalidate();
}

void TrendChart::ZoomValues(const Layout& layout, int lane, double y, double factor)
{
    if (lane < 0 || lane >= static_cast<int>(layout.lanes.size()))
        return;
    const Lane& l = layout.lanes[static_cast<size_t>(lane)];
    const double at = ValueAt(l.area, l.range, y);
    SetLaneRange(layout, lane, {at - (at - l.range.low) * factor, at + (l.range.high - at) * factor});
}

void TrendChart::Pan(const Layout& layout, int lane, QPoint by)
{
    const double msPerPixel = (toMs_ - fromMs_) / layout.plot.width();
    if (by.x() != 0)
        SetTimeView(fromMs_ - by.x() * msPerPixel, toMs_ - by.x() * msPerPixel);
    if (by.y() != 0 && lane >= 0 && lane < static_cast<int>(layout.lanes.size())) {
        const Lane& l = layout.lanes[static_cast<size_t>(lane)];
        const double perPixel = (l.range.high - l.range.low) / std::max(1, Inner(l.area).height());
        SetLaneRange(layout, lane, {l.range.low + by.y() * perPixel, l.range.high + by.y() * perPixel});
    }
    HoldView();
}

void TrendChart::mousePressEvent(QMouseEvent* event)
{
    const Layout& layout = Laid();
    const QPoint at = event->position().toPoint();
    for (size_t s = 0; s < layout.legend.size(); s++) {
        if (event->button() == Qt::LeftButton && layout.legend[s].contains(at)) {
            SetShown(s, !Shown(s));
            return;
        }
    }
    const int lane = LaneAt(layout, at);
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
    const Layout layout = Laid();
    const QPoint at = event->position().toPoint();
    const bool inside = at.x() >= layout.plot.left() && at.x() <= layout.plot.right() && at.y() >= layout.plot.top() &&
                        at.y() <= layout.lanes.back().area.bottom();
    std::optional<int64_t> cursor;
    if (inside)
        cursor = static_cast<int64_t>(std::llround(TimeAt(layout, at.x())));
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
    const Layout layout = Laid();
    if (dragLane_ < 0 || dragLane_ >= static_cast<int>(layout.lanes.size()))
        return;
    const Lane& lane = layout.lanes[static_cast<size_t>(dragLane_)];
    const QRect box = QRect(dragFrom_, event->position().toPoint()).normalized().intersected(lane.area);
    const ValueRange range{ValueAt(lane.area, lane.range, box.bottom() + 1), ValueAt(lane.area, lane.range, box.top())};
    if (box.height() >= kDragThreshold)
        SetLaneRange(layout, dragLane_, range);
    if (box.width() >= kDragThreshold)
        SetTimeView(TimeAt(layout, box.left()), TimeAt(layout, box.right() + 1));
    update();
}

void TrendChart::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && LaneAt(Laid(), event->position().toPoint()) >= 0)
        Follow();
}

void TrendChart::wheelEvent(QWheelEvent* event)
{
    const Layout layout = Laid();
    const QPointF at = event->position();
    const double notches = event->angleDelta().y() / 120.0;
    if (notches == 0)
        return;
    const double factor = std::pow(kZoomStep, notches);
    const int lane = LaneAt(layout, at.toPoint());
    if (lane >= 0 && ((event->modifiers() & Qt::ControlModifier) || at.x() < layout.plot.left()))
        ZoomValues(layout, lane, at.y(), factor);
    else
        ZoomTime(layout, std::clamp<double>(at.x(), layout.plot.left(), layout.plot.right()), factor);
    event->accept();
}

void TrendChart::keyPressEvent(QKeyEvent* event)
{
    const Layout layout = Laid();
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
