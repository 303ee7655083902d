#include "ui/trend_lane_chart.h"

#include <QCategoryAxis>
#include <QChart>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QLegend>
#include <QLegendMarker>
#include <QPalette>

#include <algorithm>
#include <cmath>

namespace {

constexpr QRgb kGridColour = qRgb(225, 225, 225);
constexpr int kLegendAlpha = 210;  // the line under a name still shows
constexpr int kRoomAbove = 24;     // pixels
constexpr int kRoomBelow = 64;

QCategoryAxis* AddAxis(QChart* chart, Qt::Alignment where, const QFont& font, const QPalette& palette)
{
    auto* axis = new QCategoryAxis;
    axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    // The lane's frame is the axis line.
    axis->setLineVisible(false);
    // The chart leaves room for the longest text; a cut one would say less.
    axis->setTruncateLabels(false);
    axis->setLabelsFont(font);
    axis->setLabelsColor(palette.color(QPalette::WindowText));
    axis->setGridLineColor(QColor(kGridColour));
    chart->addAxis(axis, where);
    return axis;
}

// Labels the axis at the ticks, each text at its value; left alone when
// they are the ones it has.
void SetTicks(QCategoryAxis* axis, double below, const std::vector<QString>& texts, const std::vector<double>& at)
{
    const QStringList now = axis->categoriesLabels();
    bool same = now.size() == static_cast<qsizetype>(texts.size());
    for (size_t i = 0; same && i < texts.size(); i++)
        same = now[static_cast<qsizetype>(i)] == texts[i] && axis->endValue(texts[i]) == at[i];
    if (same)
        return;
    for (const QString& label : now)
        axis->remove(label);
    // The first category starts below the range, so that no grid line is
    // drawn at its start.
    axis->setStartValue(below);
    for (size_t i = 0; i < texts.size(); i++)
        axis->append(texts[i], at[i]);
}

}  // namespace

TrendLaneChart AddLaneChart(QGraphicsScene& scene, const QFont& font, const QPalette& palette)
{
    TrendLaneChart lane;
    lane.chart = new QChart;
    QChart* chart = lane.chart;
    chart->setBackgroundVisible(false);
    chart->setPlotAreaBackgroundVisible(false);
    chart->setDropShadowEnabled(false);
    chart->setMargins(QMargins());
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    scene.addItem(chart);
    lane.time = AddAxis(chart, Qt::AlignBottom, font, palette);
    lane.values = AddAxis(chart, Qt::AlignLeft, font, palette);

    QLegend* legend = chart->legend();
    legend->setFont(font);
    legend->setLabelColor(palette.color(QPalette::WindowText));
    legend->setAlignment(Qt::AlignLeft);  // one name under the other
    legend->detachFromChart();
    legend->layout()->setContentsMargins(2, 0, 4, 0);
    legend->setBackgroundVisible(true);
    QColor behind = palette.color(QPalette::Base);
    behind.setAlpha(kLegendAlpha);
    legend->setBrush(behind);
    legend->setPen(Qt::NoPen);
    return lane;
}

void RemoveLaneChart(QGraphicsScene& scene, TrendLaneChart& lane)
{
    scene.removeItem(lane.chart);
    delete lane.chart;  // with its axes and series
    lane = {};
}

void ShowLaneChart(const TrendLaneChart& lane, const QSize& size, const QRect& area, const LaneAxes& axes)
{
    // Qt Charts keeps the axes' texts inside the chart, moving them over the
    // plot area where there is too little room: the chart reaches past the
    // lane by more than any text needs.
    QChart* chart = lane.chart;
    const QRectF whole(0, area.top() - kRoomAbove, size.width(), area.height() + kRoomAbove + kRoomBelow);
    if (chart->geometry() != whole)
        chart->setGeometry(whole);
    const QRectF plot(area.left(), kRoomAbove, area.width(), area.height());
    if (chart->plotArea() != plot)
        chart->setPlotArea(plot);
    lane.time->setVisible(true);
    lane.values->setVisible(true);
    lane.time->setLabelsVisible(axes.timeTexts);

    lane.time->setRange(axes.fromMs, axes.toMs);
    std::vector<QString> texts;
    std::vector<double> at;
    for (int64_t t : axes.timeTicks->timesMs) {
        texts.push_back(QString::fromStdString(TimeTickText(t, axes.timeTicks->stepMs, axes.utcOffsetMinutes)));
        at.push_back(static_cast<double>(t));
    }
    SetTicks(lane.time, std::min(axes.fromMs, at.empty() ? axes.fromMs : at.front()) - 1, texts, at);

    lane.values->setRange(axes.range.low, axes.range.high);
    texts.clear();
    at.clear();
    for (double v : axes.valueTicks->values) {
        texts.push_back(QString::fromStdString(ValueTickText(v, *axes.valueTicks)));
        at.push_back(v);
    }
    const double step = std::isfinite(axes.valueTicks->step) && axes.valueTicks->step > 0 ? axes.valueTicks->step : 1;
    SetTicks(lane.values, std::min(axes.range.low, at.empty() ? axes.range.low : at.front()) - step, texts, at);
    chart->layout()->activate();
}

void FoldLaneChart(const TrendLaneChart& lane)
{
    lane.time->setVisible(false);
    lane.values->setVisible(false);
}

void PlaceLaneLegend(const TrendLaneChart& lane, const QPoint& topLeft)
{
    // The legend is the chart's child: placed in its coordinates.
    const QRectF where(lane.chart->mapFromScene(QPointF(topLeft)), QSizeF(LaneLegendSize(lane)));
    QLegend* legend = lane.chart->legend();
    if (legend->geometry() != where)
        legend->setGeometry(where);
    // Its entries are shown once laid out; now, not at the next turn of the
    // event loop, so that a click or a picture finds them.
    legend->layout()->activate();
}

QSize LaneLegendSize(const TrendLaneChart& lane)
{
    // Qt Charts' hint is the size of its largest entry; they go one under
    // the other. Only the series' names have one (a marker's own visibility
    // is false while the legend hides its entries for a moment).
    const QSizeF hint = lane.chart->legend()->effectiveSizeHint(Qt::PreferredSize);
    const QList<QLegendMarker*> markers = lane.chart->legend()->markers();
    const auto entries =
        std::count_if(markers.begin(), markers.end(), [](QLegendMarker* m) { return !m->label().isEmpty(); });
    return QSize(static_cast<int>(std::ceil(hint.width())),
                 static_cast<int>(std::ceil(hint.height())) * static_cast<int>(std::max<qsizetype>(entries, 1)));
}
