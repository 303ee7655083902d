#include "ui/trend_painting.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

constexpr QRgb kSeriesColours[] = {qRgb(31, 119, 180), qRgb(214, 39, 40), qRgb(44, 160, 44),  qRgb(148, 103, 189),
                                   qRgb(230, 110, 0),  qRgb(140, 86, 75), qRgb(200, 80, 160), qRgb(0, 150, 170)};
constexpr QRgb kGridColour = qRgb(225, 225, 225);
constexpr QRgb kFrameColour = qRgb(160, 160, 160);
constexpr QRgb kOutageFill = qRgb(236, 236, 236);
constexpr QRgb kOutageMark = qRgb(200, 0, 0);

void DrawOutages(QPainter& painter, const SeriesStore& store, const TrendView& view, const TrendLayout& layout,
                 const QPalette& palette)
{
    std::vector<TimeSpan> outages = store.outages;
    if (store.outageFrom)
        outages.push_back({*store.outageFrom, std::max(*store.outageFrom, static_cast<int64_t>(std::ceil(view.toMs)))});
    const int top = layout.plot.top();
    const int bottom = layout.lanes.back().area.bottom();
    for (const TimeSpan& outage : outages) {
        const double x0 = std::max<double>(layout.plot.left(), TrendXOf(layout, view, outage.fromMs));
        const double x1 = std::min<double>(layout.plot.right() + 1, TrendXOf(layout, view, outage.toMs));
        if (x1 <= x0)
            continue;
        const QRectF band(x0, top, x1 - x0, bottom - top + 1);
        painter.fillRect(band, QColor(kOutageFill));
        painter.fillRect(QRectF(x0, bottom + 1, x1 - x0, kTrendMarkHeight), QColor(kOutageMark));
        const QString text = QStringLiteral("no data");
        if (band.width() > painter.fontMetrics().horizontalAdvance(text) + 8) {
            painter.setPen(palette.color(QPalette::WindowText));
            painter.drawText(band.adjusted(0, 2, 0, 0), Qt::AlignHCenter | Qt::AlignTop, text);
        }
    }
}

void DrawSeries(QPainter& painter, const SeriesStore& store, const TrendView& view, const TrendLayout& layout,
                const TrendLane& lane, size_t index)
{
    const Series& series = store.series[index];
    const bool steps = series.source.type == SeriesBit;
    const std::vector<SeriesPoint> points =
        PointsForView(series, static_cast<int64_t>(std::floor(view.fromMs)), static_cast<int64_t>(std::ceil(view.toMs)),
                      static_cast<size_t>(std::max(16, layout.plot.width())));
    painter.setPen(QPen(TrendSeriesColour(index), 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
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
        const QPointF at(TrendXOf(layout, view, p.timeMs), TrendYOf(lane.area, lane.range, p.value));
        // A bit holds its value until the next read: drawn as steps.
        if (steps && !run.isEmpty())
            run << QPointF(at.x(), run.back().y());
        run << at;
        previous = &p;
    }
    flush();
}

void DrawLegend(QPainter& painter, const SeriesStore& store, const TrendView& view, const TrendLayout& layout,
                const QPalette& palette)
{
    const QFontMetrics metrics = painter.fontMetrics();
    const int square = metrics.height() * 2 / 3;
    for (size_t s = 0; s < layout.legend.size() && s < store.series.size(); s++) {
        const QRect entry = layout.legend[s];
        const QRect box(entry.left(), entry.center().y() - square / 2, square, square);
        const bool shown = s < view.shown.size() && view.shown[s];
        painter.setPen(TrendSeriesColour(s));
        painter.setBrush(shown ? QBrush(TrendSeriesColour(s)) : Qt::NoBrush);
        painter.drawRect(box);
        painter.setBrush(Qt::NoBrush);
        QFont font = painter.font();
        font.setStrikeOut(!shown);
        painter.setFont(font);
        painter.setPen(palette.color(shown ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
        painter.drawText(entry.adjusted(square + 6, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                         QString::fromStdString(store.series[s].name));
        font.setStrikeOut(false);
        painter.setFont(font);
    }
}

}  // namespace

QColor TrendSeriesColour(size_t index)
{
    return QColor(kSeriesColours[index % std::size(kSeriesColours)]);
}

void PaintTrend(QPainter& painter, const SeriesStore& store, const TrendView& view, const TrendLayout& layout,
                const QPalette& palette, int width)
{
    const QColor text = palette.color(QPalette::WindowText);
    const QFontMetrics metrics = painter.fontMetrics();

    for (const TrendLane& lane : layout.lanes)
        painter.fillRect(lane.area, palette.color(QPalette::Base));
    DrawOutages(painter, store, view, layout, palette);

    // The time axis: its grid through every lane, its texts under the last.
    const int axis = layout.lanes.back().area.bottom() + kTrendMarkHeight + 2;
    for (int64_t t : layout.timeTicks.timesMs) {
        const double x = TrendXOf(layout, view, t);
        painter.setPen(QColor(kGridColour));
        for (const TrendLane& lane : layout.lanes)
            painter.drawLine(QPointF(x, lane.area.top()), QPointF(x, lane.area.bottom()));
        const QString label = QString::fromStdString(TimeTickText(t, layout.timeTicks.stepMs, layout.utcOffsetMinutes));
        const int w = metrics.horizontalAdvance(label);
        const double left = std::clamp(x - w / 2.0, 0.0, static_cast<double>(width - w));
        painter.setPen(text);
        painter.drawText(QPointF(left, axis + metrics.ascent()), label);
    }

    for (const TrendLane& lane : layout.lanes) {
        for (double v : lane.ticks.values) {
            const double y = TrendYOf(lane.area, lane.range, v);
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
            DrawSeries(painter, store, view, layout, lane, s);
        painter.restore();
        painter.setPen(QColor(kFrameColour));
        painter.drawRect(lane.area.adjusted(0, 0, -1, -1));
        // Each scale of its own names its series, so that the lane reads
        // without the legend.
        if (view.scales == ScalesPerSeries && lane.series.size() == 1) {
            const size_t s = lane.series.front();
            const QString name = QString::fromStdString(store.series[s].name);
            const int square = metrics.height() * 2 / 3;
            const QRect label(lane.area.left() + 4, lane.area.top() + 2, square + 12 + metrics.horizontalAdvance(name),
                              metrics.height());
            painter.fillRect(label, QColor(255, 255, 255, 210));
            painter.fillRect(QRect(label.left() + 2, label.center().y() - square / 2, square, square),
                             TrendSeriesColour(s));
            painter.setPen(text);
            painter.drawText(label.adjusted(square + 6, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, name);
        }
    }
    if (store.series.empty() || std::none_of(view.shown.begin(), view.shown.end(), [](bool b) { return b; })) {
        painter.setPen(text);
        painter.drawText(layout.lanes.front().area, Qt::AlignCenter | Qt::TextWordWrap,
                         store.series.empty()
                             ? QStringLiteral("Nothing plotted.")
                             : QStringLiteral("Every series is hidden: click a name below to show it."));
    }
    DrawLegend(painter, store, view, layout, palette);
}
