#include "ui/trend_window.h"

#include <QChart>
#include <QChartView>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QElapsedTimer>
#include <QGraphicsLineItem>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegend>
#include <QLineSeries>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <future>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

#include "dataview/csv_record.h"
#include "dataview/series_csv.h"
#include "dataview/value_views.h"
#include "dataview/wall_clock.h"
#include "ui/control_ids.h"
#include "ui/controls.h"
#include "ui/file_dialog.h"
#include "ui/message_box.h"

namespace {

// GUI thread only; file-local: set through SetTrendWindowHandlers.
TrendWindowHandlers gHandlers;

// Samples are taken every kCollectMs; the chart is drawn again only when its
// view has moved by a pixel, and at least once a second for new values, but
// never more than four times a second: a redraw of the whole chart is what
// the window costs.
constexpr int kCollectMs = 100;
constexpr int64_t kFastestRedrawMs = 250;
constexpr int64_t kSlowestRedrawMs = 1000;
constexpr int64_t kSpansMs[] = {60'000, 600'000, 3'600'000};
constexpr const char* kSpanNames[] = {"1 min", "10 min", "1 h"};
constexpr const char* kNoCursor = "Move the mouse over the chart to read every series at that time.";

std::string ValueText(const Series& series, double value)
{
    if (series.source.type == SeriesFloat32)
        return FloatText(static_cast<float>(value));
    return DoubleText(value);
}

// Writes text to path; empty on success, otherwise the message for the user.
std::string SaveText(const std::string& path, const std::string& text)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return "Cannot save the data to " + path + ": " + std::strerror(errno) + ".";
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    const int error = errno;
    const bool closed = std::fclose(file) == 0;
    if (written && closed)
        return {};
    return "Cannot save the data to " + path + ": " + std::strerror(written ? errno : error) + ".";
}

class TrendChartView : public QChartView {
public:
    using QChartView::QChartView;
    std::function<void(QPointF)> moved;
    std::function<void()> left;
    std::function<void(QPoint)> menu;

protected:
    void mouseMoveEvent(QMouseEvent* event) override
    {
        if (moved)
            moved(event->position());
        QChartView::mouseMoveEvent(event);
    }
    void leaveEvent(QEvent* event) override
    {
        if (left)
            left();
        QChartView::leaveEvent(event);
    }
    void contextMenuEvent(QContextMenuEvent* event) override
    {
        if (menu)
            menu(event->globalPos());
    }
};

class TrendWindowWidget : public QWidget {
public:
    explicit TrendWindowWidget(QWidget* parent) : QWidget(parent, Qt::Window)
    {
        setAttribute(Qt::WA_DeleteOnClose);
        setWindowTitle(QStringLiteral("Values over time - Sorbel-Client"));
        resize(820, 520);

        auto* span = new QComboBox;
        for (const char* name : kSpanNames)
            span->addItem(QString::fromUtf8(name));
        span_ = span;
        pause_ = new QPushButton(QStringLiteral("Pause"));
        auto* png = new QPushButton(QStringLiteral("Save as PNG…"));
        auto* csv = new QPushButton(QStringLiteral("Save data as CSV…"));
        auto* bar = new QHBoxLayout;
        bar->addWidget(new QLabel(QStringLiteral("Visible span:")));
        bar->addWidget(span);
        bar->addWidget(pause_);
        bar->addStretch(1);
        bar->addWidget(png);
        bar->addWidget(csv);

        chart_ = new QChart;
        chart_->legend()->setAlignment(Qt::AlignBottom);
        chart_->setMargins(QMargins(4, 4, 4, 4));
        timeAxis_ = new QDateTimeAxis;
        timeAxis_->setFormat(QStringLiteral("HH:mm:ss"));
        timeAxis_->setTickCount(7);
        valueAxis_ = new QValueAxis;
        chart_->addAxis(timeAxis_, Qt::AlignBottom);
        chart_->addAxis(valueAxis_, Qt::AlignLeft);
        view_ = new TrendChartView(chart_);
        view_->setRenderHint(QPainter::Antialiasing);
        view_->setMouseTracking(true);
        view_->moved = [this](QPointF at) {
            cursorX_ = at.x();
            ShowCursor();
        };
        view_->left = [this] {
            cursorX_.reset();
            cursorTime_.reset();
            ShowCursor();
        };
        view_->menu = [this](QPoint global) { ShowSeriesMenu(global); };
        cursorLine_ = new QGraphicsLineItem(chart_);
        cursorLine_->setPen(QPen(QColor(96, 96, 96), 1, Qt::DashLine));
        cursorLine_->setZValue(100);
        cursorLine_->hide();

        readout_ = new QLabel(QString::fromUtf8(kNoCursor));
        readout_->setTextFormat(Qt::PlainText);
        readout_->setWordWrap(true);
        readout_->setTextInteractionFlags(Qt::TextSelectableByMouse);

        auto* layout = new QVBoxLayout(this);
        layout->addLayout(bar);
        layout->addWidget(view_, 1);
        layout->addWidget(readout_);

        connect(span, &QComboBox::currentIndexChanged, this, [this] { Refresh(true); });
        connect(pause_, &QPushButton::clicked, this, [this] {
            paused_ = !paused_;
            pause_->setText(paused_ ? QStringLiteral("Resume") : QStringLiteral("Pause"));
            Refresh(true);
        });
        connect(png, &QPushButton::clicked, this, [this] { SavePicture(); });
        connect(csv, &QPushButton::clicked, this, [this] { SaveData(); });
        connect(&timer_, &QTimer::timeout, this, [this] { Tick(); });
        timer_.start(kCollectMs);
    }

    ~TrendWindowWidget() override
    {
        // Gone with the main window rather than closed: nothing is collected
        // for it any more either.
        if (!store_.series.empty() && gHandlers.stopped)
            gHandlers.stopped();
        // A save still writing finishes first: its copy and file are its own.
        if (save_.valid())
            save_.wait();
    }

    int Add(const SeriesSource& source)
    {
        const size_t before = store_.series.size();
        const int index = AddSeries(store_, source);
        if (index < 0 || static_cast<size_t>(index) < before)
            return index;
        auto* line = new QLineSeries;
        line->setName(QString::fromStdString(store_.series.back().name));
        chart_->addSeries(line);
        line->attachAxis(timeAxis_);
        line->attachAxis(valueAxis_);
        lines_.push_back(line);
        Refresh(true);
        return index;
    }

    SeriesStore store_;
    std::optional<int64_t> viewEnd_;  // a fixed right edge instead of the clock

    void FreezeViewEnd(int64_t timeMs)
    {
        viewEnd_ = timeMs;
        Refresh(true);
    }

    void SetCursorTime(int64_t timeMs)
    {
        cursorX_.reset();
        cursorTime_ = timeMs;
        ShowCursor();
    }
    std::string Readout() const { return readout_->text().toStdString(); }

protected:
    void closeEvent(QCloseEvent* event) override
    {
        Drop();
        event->accept();
    }

private:
    void Drop()
    {
        store_.series.clear();
        for (QLineSeries* line : lines_) {
            chart_->removeSeries(line);
            delete line;
        }
        lines_.clear();
        if (gHandlers.stopped)
            gHandlers.stopped();
    }

    int64_t ViewEnd() const
    {
        if (viewEnd_)
            return *viewEnd_;
        return QDateTime::currentMSecsSinceEpoch();
    }

    void Tick()
    {
        if (save_.valid() && save_.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
            const std::string failure = save_.get();
            if (!failure.empty())
                ShowMessageBox(failure);
        }
        if (gHandlers.collect && !store_.series.empty())
            gHandlers.collect(store_);
        const int64_t span = kSpansMs[std::max(0, span_->currentIndex())];
        const int64_t msPerPixel = span / std::max<int64_t>(16, static_cast<int64_t>(chart_->plotArea().width()));
        const int64_t due = std::clamp(msPerPixel, kFastestRedrawMs, kSlowestRedrawMs);
        if (!redrawn_.isValid() || redrawn_.elapsed() >= due)
            Refresh(false);
    }

    // Draws what the store holds in the span ending now; while paused only
    // when forced (a series added or removed, the span changed).
    void Refresh(bool force)
    {
        if ((paused_ && !force) || !isVisible())
            return;
        redrawn_.start();
        if (!paused_ || !to_)
            to_ = ViewEnd();
        const int64_t from = *to_ - kSpansMs[std::max(0, span_->currentIndex())];
        const auto columns = static_cast<size_t>(std::max(16.0, chart_->plotArea().width()));
        double low = std::numeric_limits<double>::infinity();
        double high = -low;
        for (size_t s = 0; s < store_.series.size() && s < lines_.size(); s++) {
            const Series& series = store_.series[s];
            const std::vector<SeriesPoint> points = PointsForView(series, from, *to_, columns);
            QList<QPointF> drawn;
            drawn.reserve(static_cast<qsizetype>(points.size() * 2));
            const bool steps = series.source.type == SeriesBit;
            for (const SeriesPoint& p : points) {
                // A bit holds its value until the next read: drawn as steps.
                if (steps && !drawn.isEmpty())
                    drawn.append(QPointF(static_cast<double>(p.timeMs), drawn.back().y()));
                drawn.append(QPointF(static_cast<double>(p.timeMs), p.value));
                // An infinity or NaN read as float32 is drawn off the chart
                // but must not take the range with it.
                if (p.timeMs >= from && p.timeMs <= *to_ && std::isfinite(p.value)) {
                    low = std::min(low, p.value);
                    high = std::max(high, p.value);
                }
            }
            lines_[s]->replace(drawn);
        }
        if (low > high) {
            low = 0;
            high = 1;
        }
        const double pad = high > low ? (high - low) * 0.05 : std::max(1.0, std::abs(high) * 0.05);
        valueAxis_->setRange(low - pad, high + pad);
        timeAxis_->setRange(QDateTime::fromMSecsSinceEpoch(from), QDateTime::fromMSecsSinceEpoch(*to_));
        ShowCursor();
    }

    void ShowCursor()
    {
        const QRectF area = chart_->plotArea();
        if (cursorX_) {
            const QPointF scene = view_->mapToScene(QPoint(static_cast<int>(*cursorX_), 0));
            const QPointF at = chart_->mapFromScene(scene);
            if (at.x() >= area.left() && at.x() <= area.right())
                cursorTime_ = static_cast<int64_t>(chart_->mapToValue(QPointF(at.x(), area.center().y())).x());
            else
                cursorTime_.reset();
        }
        if (!cursorTime_) {
            cursorLine_->hide();
            readout_->setText(QString::fromUtf8(kNoCursor));
            return;
        }
        const double x = chart_->mapToPosition(QPointF(static_cast<double>(*cursorTime_), 0)).x();
        cursorLine_->setLine(x, area.top(), x, area.bottom());
        cursorLine_->setVisible(x >= area.left() && x <= area.right());
        readout_->setText(QString::fromStdString(TrendCursorText(store_, *cursorTime_)));
    }

    void ShowSeriesMenu(QPoint global)
    {
        QMenu menu(this);
        for (size_t s = 0; s < store_.series.size(); s++)
            menu.addAction(QStringLiteral("Remove \"%1\"").arg(QString::fromStdString(store_.series[s].name)),
                           [this, s] { Remove(s); });
        if (menu.isEmpty())
            return;
        menu.exec(global);
    }

    void Remove(size_t index)
    {
        if (index >= store_.series.size() || index >= lines_.size())
            return;
        RemoveSeries(store_, index);
        chart_->removeSeries(lines_[index]);
        delete lines_[index];
        lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(index));
        if (store_.series.empty() && gHandlers.stopped)
            gHandlers.stopped();
        Refresh(true);
    }

    void SavePicture()
    {
        const std::string path = AskSaveFileName("Save as PNG", "trend.png", "PNG images (*.png);;All files (*)");
        if (path.empty())
            return;
        if (!view_->grab().save(QString::fromStdString(path), "PNG"))
            ShowMessageBox("Cannot save the picture to " + path + ".");
    }

    void SaveData()
    {
        if (save_.valid()) {
            ShowMessageBox("The data are still being saved; try again in a moment.");
            return;
        }
        const std::string path = AskSaveFileName("Save data as CSV", "trend.csv", "CSV files (*.csv);;All files (*)");
        if (path.empty())
            return;
        // A full store makes some 10 MiB of text: built and written off the
        // GUI thread, from a copy, while the points keep coming.
        save_ = std::async(std::launch::async,
                           [copy = store_, path] { return SaveText(path, SeriesCsvText(copy, UtcOffsetMinutesAt)); });
    }

    QComboBox* span_ = nullptr;
    QPushButton* pause_ = nullptr;
    QChart* chart_ = nullptr;
    QDateTimeAxis* timeAxis_ = nullptr;
    QValueAxis* valueAxis_ = nullptr;
    TrendChartView* view_ = nullptr;
    QGraphicsLineItem* cursorLine_ = nullptr;
    QLabel* readout_ = nullptr;
    std::vector<QLineSeries*> lines_;  // one per store series, same order
    QTimer timer_;
    QElapsedTimer redrawn_;  // since the chart was last drawn
    bool paused_ = false;
    std::optional<int64_t> to_;  // the right edge drawn last
    std::optional<qreal> cursorX_;
    std::optional<int64_t> cursorTime_;
    std::future<std::string> save_;
};

// GUI thread only; file-local: the one trend window, while it is open.
QPointer<TrendWindowWidget> gWindow;

}  // namespace

void SetTrendWindowHandlers(const TrendWindowHandlers& handlers)
{
    gHandlers = handlers;
}

int AddTrendSeries(const SeriesSource& source)
{
    if (!gWindow) {
        QWidget* tabs = FindControl(IdTabPanel);
        gWindow = new TrendWindowWidget(tabs ? tabs->window() : nullptr);
    }
    const bool full = gWindow->store_.series.size() >= kMaxSeries;
    const int index = gWindow->Add(source);
    if (gWindow->store_.series.empty()) {
        gWindow->close();
        return -1;
    }
    gWindow->show();
    gWindow->raise();
    gWindow->activateWindow();
    if (index < 0 && full)
        ShowMessageBox("The trend window shows at most " + std::to_string(kMaxSeries) +
                       " series: remove one with a right-click on the chart first.");
    return index;
}

QWidget* TrendWindow()
{
    return gWindow;
}

const SeriesStore* TrendSeriesStore()
{
    return gWindow ? &gWindow->store_ : nullptr;
}

std::string TrendCursorText(const SeriesStore& store, int64_t timeMs)
{
    const std::string stamp = CsvTimeText(timeMs, UtcOffsetMinutesAt(timeMs));
    // The local time of day with milliseconds: "07:15:03.123".
    std::string text = stamp.size() >= 23 ? stamp.substr(11, 12) : stamp;
    for (const Series& series : store.series) {
        const std::optional<double> value = SeriesValueAt(series, timeMs);
        text += "    " + series.name + ": " + (value ? ValueText(series, *value) : "-");
    }
    return text;
}

void SetTrendCursor(int64_t timeMs)
{
    if (gWindow)
        gWindow->SetCursorTime(timeMs);
}

std::string TrendReadout()
{
    return gWindow ? gWindow->Readout() : std::string();
}

void SetTrendViewEnd(int64_t timeMs)
{
    if (gWindow)
        gWindow->FreezeViewEnd(timeMs);
}
