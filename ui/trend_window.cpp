#include "ui/trend_window.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>

#include "dataview/csv_record.h"
#include "dataview/wall_clock.h"
#include "ui/control_ids.h"
#include "ui/controls.h"
#include "ui/message_box.h"
#include "ui/screen_fit.h"
#include "ui/trend_chart.h"
#include "ui/trend_saving.h"

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
constexpr const char* kNoCursor =
    "Move the mouse over the chart to read every series at that time. Wheel or a dragged box: zoom; "
    "Shift and drag: pan; double-click: back to the newest data.";
// What the window asks for, when the screen has room.
constexpr QSize kPreferredSize(820, 560);

// The readout with every "name: value" kept on one line: a line only ever
// breaks between two series.
QString Unbreakable(const std::string& text)
{
    QString readout;
    const QStringList entries = QString::fromStdString(text).split(QStringLiteral("    "));
    for (const QString& entry : entries) {
        if (!readout.isEmpty())
            readout += QStringLiteral("    ");
        readout += QString(entry).replace(QLatin1Char(' '), QChar(0x00A0));
    }
    return readout;
}

class TrendWindowWidget : public QWidget {
public:
    explicit TrendWindowWidget(QWidget* parent) : QWidget(parent, Qt::Window)
    {
        setAttribute(Qt::WA_DeleteOnClose);
        setWindowTitle(QStringLiteral("Values over time - Sorbel-Client"));

        span_ = new QComboBox;
        for (const char* name : kSpanNames)
            span_->addItem(QString::fromUtf8(name));
        scales_ = new QComboBox;
        scales_->addItem(QStringLiteral("One per series"), ScalesPerSeries);
        scales_->addItem(QStringLiteral("Shared"), ScalesShared);
        scales_->setToolTip(QStringLiteral("Each series on a scale of its own, one above the other, or all on one"));
        pause_ = new QPushButton(QStringLiteral("Pause"));
        auto* png = new QPushButton(QStringLiteral("Save as PNG…"));
        auto* csv = new QPushButton(QStringLiteral("Save data as CSV…"));
        // What the view shows above the chart, the saves below it: each row
        // narrow enough for a small screen at scale 2.
        auto* bar = new QHBoxLayout;
        bar->addWidget(new QLabel(QStringLiteral("Visible span:")));
        bar->addWidget(span_);
        bar->addWidget(new QLabel(QStringLiteral("Scales:")));
        bar->addWidget(scales_);
        bar->addWidget(pause_);
        bar->addStretch(1);
        auto* saves = new QHBoxLayout;
        saves->addStretch(1);
        saves->addWidget(png);
        saves->addWidget(csv);

        chart_ = new TrendChart(store_, this);
        chart_->followingChanged = [this] {
            pause_->setText(chart_->Following() ? QStringLiteral("Pause") : QStringLiteral("Resume"));
            pause_->setToolTip(chart_->Following() ? QString()
                                                   : QStringLiteral("Back to the newest data, every scale automatic"));
        };
        chart_->cursorMoved = [this] { ShowReadout(); };
        chart_->menuAsked = [this](const QPoint& global) { ShowSeriesMenu(global); };

        readout_ = new QLabel;
        readout_->setTextFormat(Qt::PlainText);
        readout_->setWordWrap(true);
        readout_->setTextInteractionFlags(Qt::TextSelectableByMouse);
        ShowReadout();

        auto* layout = new QVBoxLayout(this);
        layout->addLayout(bar);
        layout->addWidget(chart_, 1);
        layout->addWidget(readout_);
        layout->addLayout(saves);

        connect(span_, &QComboBox::currentIndexChanged, this, [this](int index) {
            chart_->SetSpan(kSpansMs[std::max(0, index)]);
            Refresh();
        });
        connect(scales_, &QComboBox::currentIndexChanged, this,
                [this] { chart_->SetScales(static_cast<TrendScales>(scales_->currentData().toInt())); });
        connect(pause_, &QPushButton::clicked, this, [this] {
            if (chart_->Following())
                chart_->Hold();
            else
                chart_->Follow();
            Refresh();
        });
        connect(png, &QPushButton::clicked, this, [this] { SaveWidgetPicture(chart_); });
        connect(csv, &QPushButton::clicked, this, [this] { StartDataSave(save_, store_); });
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
        FinishDataSave(save_);
    }

    int Add(const SeriesSource& source)
    {
        const size_t before = store_.series.size();
        const int index = AddSeries(store_, source);
        if (index < 0 || static_cast<size_t>(index) < before)
            return index;
        chart_->SeriesAdded();
        Refresh();
        return index;
    }

    SeriesStore store_;
    std::optional<int64_t> viewEnd_;  // a fixed right edge instead of the clock

    void FreezeViewEnd(int64_t timeMs)
    {
        viewEnd_ = timeMs;
        Refresh();
    }

    TrendChart* Chart() { return chart_; }

    std::string Readout() const
    {
        const std::optional<int64_t> cursor = chart_->CursorTime();
        return cursor ? TrendCursorText(store_, *cursor) : std::string(kNoCursor);
    }

protected:
    void closeEvent(QCloseEvent* event) override
    {
        Drop();
        event->accept();
    }

private:
    void Drop()
    {
        for (size_t s = store_.series.size(); s-- > 0;) {
            RemoveSeries(store_, s);
            chart_->SeriesRemoved(s);
        }
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
        CheckDataSave(save_);
        if (gHandlers.collect && !store_.series.empty())
            gHandlers.collect(store_);
        const int64_t span = kSpansMs[std::max(0, span_->currentIndex())];
        const int64_t msPerPixel = span / std::max(16, chart_->PlotWidth());
        const int64_t due = std::clamp(msPerPixel, kFastestRedrawMs, kSlowestRedrawMs);
        if (!redrawn_.isValid() || redrawn_.elapsed() >= due)
            Refresh();
    }

    void Refresh()
    {
        if (!isVisible())
            return;
        redrawn_.start();
        chart_->Advance(ViewEnd());
        ShowReadout();
    }

    void ShowReadout()
    {
        const std::optional<int64_t> cursor = chart_->CursorTime();
        readout_->setText(cursor ? Unbreakable(TrendCursorText(store_, *cursor)) : QString::fromUtf8(kNoCursor));
    }

    void ShowSeriesMenu(const QPoint& global)
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
        if (index >= store_.series.size())
            return;
        RemoveSeries(store_, index);
        chart_->SeriesRemoved(index);
        if (store_.series.empty() && gHandlers.stopped)
            gHandlers.stopped();
        ShowReadout();
    }

    QComboBox* span_ = nullptr;
    QComboBox* scales_ = nullptr;
    QPushButton* pause_ = nullptr;
    TrendChart* chart_ = nullptr;
    QLabel* readout_ = nullptr;
    QTimer timer_;
    QElapsedTimer redrawn_;  // since the chart was last drawn
    DataSave save_;
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
    bool opened = false;
    if (!gWindow) {
        QWidget* tabs = FindControl(IdTabPanel);
        QWidget* main = tabs ? tabs->window() : nullptr;
        gWindow = new TrendWindowWidget(main);
        // Inside the screen at any scale, over the main window.
        PlaceOnScreen(gWindow, kPreferredSize, main);
        opened = true;
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
    if (opened)
        gWindow->Chart()->Advance(gWindow->viewEnd_.value_or(QDateTime::currentMSecsSinceEpoch()));
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
        text += "    " + series.name + ": " + (value ? SeriesValueText(series.source, *value) : "-");
    }
    return text;
}

void SetTrendCursor(int64_t timeMs)
{
    if (gWindow)
        gWindow->Chart()->SetCursorTime(timeMs);
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

TrendChart* TrendWindowChart()
{
    return gWindow ? gWindow->Chart() : nullptr;
}
