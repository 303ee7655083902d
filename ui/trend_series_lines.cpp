#include "ui/trend_series_lines.h"

#include <QChart>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPalette>
#include <QScatterSeries>

#include <algorithm>
#include <iterator>

namespace {

// On white at 3:1 or more, each apart from the others.
constexpr QRgb kSeriesColours[] = {qRgb(31, 119, 180), qRgb(214, 39, 40), qRgb(44, 160, 44),  qRgb(148, 103, 189),
                                   qRgb(230, 110, 0),  qRgb(140, 86, 75), qRgb(200, 80, 160), qRgb(0, 150, 170)};

// Puts a series of the chart on the chart's axes; the legend names only the
// first stretch.
void Attach(QChart* chart, QXYSeries* one, bool named)
{
    chart->addSeries(one);
    for (QAbstractAxis* axis : chart->axes())
        one->attachAxis(axis);
    if (!named)
        for (QLegendMarker* marker : chart->legend()->markers(one))
            marker->setVisible(false);
}

QLineSeries* NewStretch(const TrendSeriesLines& lines, const QString& name)
{
    auto* line = new QLineSeries;
    line->setName(name);
    line->setPen(QPen(lines.colour, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    Attach(lines.chart, line, !name.isEmpty());
    return line;
}

QList<QPointF> Drawn(const std::vector<SeriesPoint>& stretch, bool steps)
{
    QList<QPointF> points;
    points.reserve(static_cast<qsizetype>(stretch.size() * (steps ? 2 : 1)));
    for (const SeriesPoint& p : stretch) {
        const auto x = static_cast<double>(p.timeMs);
        if (steps && !points.isEmpty())
            points.append(QPointF(x, points.back().y()));
        points.append(QPointF(x, p.value));
    }
    return points;
}

}  // namespace

TrendSeriesLines AddSeriesLines(QChart* chart, const Series& series, size_t index)
{
    TrendSeriesLines lines;
    lines.chart = chart;
    lines.colour = QColor(kSeriesColours[index % std::size(kSeriesColours)]);
    lines.stretches.push_back(NewStretch(lines, QString::fromStdString(series.name)));
    lines.dots = new QScatterSeries;
    lines.dots->setMarkerShape(QScatterSeries::MarkerShapeCircle);
    lines.dots->setMarkerSize(4);
    lines.dots->setColor(lines.colour);
    lines.dots->setBorderColor(lines.colour);
    Attach(chart, lines.dots, false);
    return lines;
}

void DrawSeriesLines(TrendSeriesLines& lines, const Series& series, int64_t fromMs, int64_t toMs, size_t columns)
{
    const bool steps = series.source.type == SeriesBit;
    const std::vector<std::vector<SeriesPoint>> stretches = StretchesForView(series, fromMs, toMs, columns);
    // The oldest stretches past the bound are dotted.
    size_t joined = 0;
    for (const std::vector<SeriesPoint>& stretch : stretches)
        joined += stretch.size() > 1;
    size_t dotted = joined > kMaxTrendStretches ? joined - kMaxTrendStretches : 0;
    QList<QPointF> dots;
    size_t used = 0;
    for (const std::vector<SeriesPoint>& stretch : stretches) {
        const bool dot = stretch.size() == 1 || dotted > 0;
        if (stretch.size() > 1 && dotted > 0)
            dotted--;
        if (dot) {
            for (const SeriesPoint& p : stretch)
                dots.append(QPointF(static_cast<double>(p.timeMs), p.value));
            continue;
        }
        if (used == lines.stretches.size()) {
            lines.stretches.push_back(NewStretch(lines, QString()));
            lines.stretches.back()->setVisible(lines.stretches.front()->isVisible());
        }
        lines.stretches[used++]->replace(Drawn(stretch, steps));
    }
    for (size_t i = used; i < lines.drawn && i < lines.stretches.size(); i++)
        lines.stretches[i]->clear();
    lines.drawn = used;
    lines.dots->replace(dots);
}

void ShowSeriesLines(TrendSeriesLines& lines, bool shown, const QPalette& palette, const QFont& font)
{
    for (QLineSeries* line : lines.stretches)
        line->setVisible(shown);
    lines.dots->setVisible(shown);
    // The legend shows or hides the entries of a series with it: only the
    // first stretch keeps one, shown either way.
    const QList<QLegendMarker*> markers = lines.chart->legend()->markers();
    for (QLegendMarker* marker : markers)
        if (marker->series() == lines.dots ||
            std::find(lines.stretches.begin() + 1, lines.stretches.end(), marker->series()) != lines.stretches.end())
            marker->setVisible(false);
    QLegendMarker* entry = SeriesLegendMarker(lines);
    if (!entry)
        return;
    entry->setVisible(true);
    QFont struck = font;
    struck.setStrikeOut(!shown);
    entry->setFont(struck);
    entry->setLabelBrush(palette.color(shown ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
}

QLegendMarker* SeriesLegendMarker(const TrendSeriesLines& lines)
{
    const QList<QLegendMarker*> markers = lines.chart->legend()->markers(lines.stretches.front());
    return markers.isEmpty() ? nullptr : markers.front();
}
