#include "ui/scan_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "common/field_limits.h"
#include "ui/control_ids.h"
#include "ui/controls.h"
#include "ui/fonts.h"
#include "ui/screen_fit.h"

namespace {

// GUI thread only; file-local: set through SetScanWindowHandlers.
ScanWindowHandlers gHandlers;

constexpr int kPreferredWidth = 660;
constexpr int kPreferredHeight = 540;
// The spin boxes' ranges: the command's.
constexpr int kLowestTimeoutMs = 10;
constexpr int kHighestPacingMs = 60000;
// The tables of the Registers tab, as the combo box offers them.
constexpr MapTable kMapTables[] = {MapHoldingRegisters, MapInputRegisters, MapCoils, MapInputs};
constexpr const char* kMapTableTitles[] = {"Holding Registers", "Input Registers", "Coils", "Discrete Inputs"};

QString Text(const std::string& text)
{
    return QString::fromUtf8(text.c_str());
}

QSpinBox* SpinBox(const char* name, int lowest, int highest, int value)
{
    auto* box = new QSpinBox;
    box->setObjectName(QLatin1String(name));
    box->setRange(lowest, highest);
    box->setValue(value);
    return box;
}

QPushButton* Button(const char* name, const char* caption)
{
    auto* button = new QPushButton(QString::fromUtf8(caption));
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    return button;
}

QTableWidget* ResultTable(const char* name, std::initializer_list<const char*> headers)
{
    auto* table = new QTableWidget(0, static_cast<int>(headers.size()));
    table->setObjectName(QLatin1String(name));
    QStringList titles;
    for (const char* header : headers)
        titles << QString::fromUtf8(header);
    table->setHorizontalHeaderLabels(titles);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->verticalHeader()->hide();
    // One line a row, as in a list.
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
    table->horizontalHeader()->setStretchLastSection(true);
    table->setWordWrap(false);
    return table;
}

// What every tab has: Start and Stop, the progress, the status line, the
// results.
struct TabParts {
    QWidget* page = nullptr;
    QPushButton* start = nullptr;
    QPushButton* stop = nullptr;
    QProgressBar* progress = nullptr;
    QLabel* status = nullptr;
    QTableWidget* table = nullptr;
    QPushButton* save = nullptr;
    QWidget* inputs = nullptr;  // fixed while a scan runs
};

void SetCell(QTableWidget* table, int row, int column, const std::string& text)
{
    auto* item = new QTableWidgetItem(Text(text));
    item->setToolTip(item->text());
    table->setItem(row, column, item);
}

class ScanWindowWidget : public QWidget {
public:
    ScanWindowWidget(QWidget* parent, const ScanPacing& pacing) : QWidget(parent, Qt::Window)
    {
        setWindowTitle(QStringLiteral("Scan - Sorbel-Client"));
        setFont(NormalFont());

        target_ = new QLabel;
        target_->setObjectName(QStringLiteral("target"));
        target_->setTextFormat(Qt::PlainText);
        target_->setWordWrap(true);

        tabs_ = new QTabWidget;
        BuildUnitsTab();
        BuildRegistersTab();

        timeout_ =
            SpinBox("timeout", kLowestTimeoutMs, kHighestPacingMs,
                    static_cast<int>(std::clamp<uint32_t>(pacing.timeoutMs, kLowestTimeoutMs, kHighestPacingMs)));
        gap_ =
            SpinBox("gap", 0, kHighestPacingMs, static_cast<int>(std::min<uint32_t>(pacing.gapMs, kHighestPacingMs)));
        timeout_->setToolTip(QStringLiteral("How long to wait for each reply: a unit that does not answer its "
                                            "first request within it counts as silent"));
        gap_->setToolTip(QStringLiteral("The least quiet time after a reply before the next request"));
        auto* pacingRow = new QHBoxLayout;
        pacingRow->addWidget(new QLabel(QStringLiteral("Time-out (ms):")));
        pacingRow->addWidget(timeout_);
        pacingRow->addSpacing(12);
        pacingRow->addWidget(new QLabel(QStringLiteral("Gap (ms):")));
        pacingRow->addWidget(gap_);
        pacingRow->addStretch(1);

        auto* layout = new QVBoxLayout(this);
        layout->addWidget(target_);
        layout->addWidget(tabs_, 1);
        layout->addLayout(pacingRow);
        ShowState(false, false, {});
    }

    TabParts& Tab(ScanTab tab) { return tab == ScanTabUnits ? units_ : map_; }
    QTabWidget* tabs_ = nullptr;
    QLabel* target_ = nullptr;

    void ShowState(bool running, bool allowed, const std::string& whyNot)
    {
        allowed_ = allowed;
        for (TabParts* parts : {&units_, &map_}) {
            parts->start->setEnabled(!running && allowed);
            parts->start->setToolTip(allowed ? QString() : Text(whyNot));
            parts->stop->setEnabled(running);
            parts->inputs->setEnabled(!running);
        }
        timeout_->setEnabled(!running);
        gap_->setEnabled(!running);
        FollowSelection();
    }

protected:
    void closeEvent(QCloseEvent* event) override
    {
        if (gHandlers.closed)
            gHandlers.closed();
        event->accept();
    }

private:
    // Start, Stop and the progress bar in a row, the status line under it.
    void BuildCommon(TabParts& parts, const char* prefix, QLayout* inputs, QTableWidget* table, QHBoxLayout* bottom)
    {
        parts.inputs = new QWidget;
        parts.inputs->setLayout(inputs);
        inputs->setContentsMargins(0, 0, 0, 0);
        parts.start = Button((std::string(prefix) + "Start").c_str(), "Start");
        parts.stop = Button((std::string(prefix) + "Stop").c_str(), "Stop");
        parts.progress = new QProgressBar;
        parts.progress->setObjectName(QString::fromUtf8(prefix) + QStringLiteral("Progress"));
        parts.progress->setRange(0, 1);
        parts.progress->setValue(0);
        parts.status = new QLabel;
        parts.status->setObjectName(QString::fromUtf8(prefix) + QStringLiteral("Status"));
        parts.status->setTextFormat(Qt::PlainText);
        parts.status->setWordWrap(true);
        parts.status->setTextInteractionFlags(Qt::TextSelectableByMouse);
        parts.table = table;
        parts.save = Button((std::string(prefix) + "Save").c_str(), "Save as CSV...");

        auto* run = new QHBoxLayout;
        run->addWidget(parts.start);
        run->addWidget(parts.stop);
        run->addWidget(parts.progress, 1);
        bottom->addStretch(1);
        bottom->addWidget(parts.save);

        parts.page = new QWidget;
        auto* layout = new QVBoxLayout(parts.page);
        layout->addWidget(parts.inputs);
        layout->addLayout(run);
        layout->addWidget(parts.status);
        layout->addWidget(table, 1);
        layout->addLayout(bottom);

        connect(parts.stop, &QPushButton::clicked, this, [] {
            if (gHandlers.stop)
                gHandlers.stop();
        });
    }

    void BuildUnitsTab()
    {
        firstUnit_ = SpinBox("firstUnit", 0, static_cast<int>(kHighestUnitId), 1);
        lastUnit_ = SpinBox("lastUnit", 0, static_cast<int>(kHighestUnitId), 247);
        identify_ = new QCheckBox(QStringLiteral("Identify (function 43/14)"));
        identify_->setObjectName(QStringLiteral("identify"));
        identify_->setToolTip(QStringLiteral("Ask each unit that is there for its vendor, product code and revision"));
        auto* inputs = new QGridLayout;
        inputs->addWidget(new QLabel(QStringLiteral("First unit:")), 0, 0);
        inputs->addWidget(firstUnit_, 0, 1);
        inputs->addWidget(new QLabel(QStringLiteral("Last unit:")), 0, 2);
        inputs->addWidget(lastUnit_, 0, 3);
        inputs->addWidget(identify_, 1, 0, 1, 4);
        inputs->setColumnStretch(4, 1);

        useUnit_ = Button("useUnit", "Use this unit");
        useUnit_->setToolTip(QStringLiteral("Puts the selected unit id into the Communications page"));
        auto* bottom = new QHBoxLayout;
        bottom->addWidget(useUnit_);
        BuildCommon(units_, "units", inputs, ResultTable("units", {"Unit", "Status", "Vendor", "Product", "Revision"}),
                    bottom);
        units_.table->setColumnWidth(0, 50);
        units_.table->setColumnWidth(1, 300);
        units_.table->setColumnWidth(2, 90);
        units_.table->setColumnWidth(3, 90);
        tabs_->addTab(units_.page, QStringLiteral("Units"));

        connect(units_.start, &QPushButton::clicked, this, [this] {
            ScanUnitsAsk ask;
            ask.firstUnit = firstUnit_->value();
            ask.lastUnit = lastUnit_->value();
            ask.identify = identify_->isChecked();
            if (ask.firstUnit > ask.lastUnit) {
                units_.status->setText(QStringLiteral("The first unit comes after the last: nothing to scan."));
                return;
            }
            if (gHandlers.startUnits)
                gHandlers.startUnits(ask, Pacing());
        });
        connect(useUnit_, &QPushButton::clicked, this, [this] {
            const int unit = SelectedUnit();
            if (unit >= 0 && gHandlers.useUnit)
                gHandlers.useUnit(unit);
        });
        connect(units_.table, &QTableWidget::itemSelectionChanged, this, [this] { FollowSelection(); });
        connect(units_.table, &QTableWidget::cellDoubleClicked, this, [this] {
            if (useUnit_->isEnabled())
                useUnit_->click();
        });
        connect(units_.save, &QPushButton::clicked, this, [] {
            if (gHandlers.save)
                gHandlers.save(ScanTabUnits);
        });
    }

    void BuildRegistersTab()
    {
        mapUnit_ = SpinBox("mapUnit", 0, static_cast<int>(kHighestUnitId), 1);
        table_ = new QComboBox;
        table_->setObjectName(QStringLiteral("table"));
        for (size_t i = 0; i < std::size(kMapTables); i++)
            table_->addItem(QString::fromUtf8(kMapTableTitles[i]), static_cast<int>(kMapTables[i]));
        firstAddress_ = SpinBox("firstAddress", 0, static_cast<int>(kHighestAddress), 0);
        lastAddress_ = SpinBox("lastAddress", 0, static_cast<int>(kHighestAddress), 9999);
        // Two rows of their own, so that the table's names and the
        // addresses need not share columns: narrow at any scale.
        auto* which = new QHBoxLayout;
        which->addWidget(new QLabel(QStringLiteral("Unit:")));
        which->addWidget(mapUnit_);
        which->addSpacing(8);
        which->addWidget(new QLabel(QStringLiteral("Table:")));
        which->addWidget(table_);
        which->addStretch(1);
        auto* addresses = new QHBoxLayout;
        addresses->addWidget(new QLabel(QStringLiteral("First address:")));
        addresses->addWidget(firstAddress_);
        addresses->addSpacing(8);
        addresses->addWidget(new QLabel(QStringLiteral("Last address:")));
        addresses->addWidget(lastAddress_);
        addresses->addStretch(1);
        for (QSpinBox* address : {firstAddress_, lastAddress_})
            address->setToolTip(QStringLiteral("Addresses as sent, from 0"));
        auto* inputs = new QVBoxLayout;
        inputs->addLayout(which);
        inputs->addLayout(addresses);

        auto* bottom = new QHBoxLayout;
        BuildCommon(map_, "map", inputs, ResultTable("ranges", {"Table", "First", "Last", "Status"}), bottom);
        map_.table->setColumnWidth(0, 140);
        map_.status->setText(QStringLiteral("Addresses as sent, from 0."));
        tabs_->addTab(map_.page, QStringLiteral("Registers"));

        connect(map_.start, &QPushButton::clicked, this, [this] {
            ScanMapAsk ask;
            ask.unit = mapUnit_->value();
            ask.table = static_cast<MapTable>(table_->currentData().toInt());
            ask.firstAddress = firstAddress_->value();
            ask.lastAddress = lastAddress_->value();
            if (ask.firstAddress > ask.lastAddress) {
                map_.status->setText(QStringLiteral("The first address comes after the last: nothing to map."));
                return;
            }
            if (gHandlers.startMap)
                gHandlers.startMap(ask, Pacing());
        });
        connect(map_.save, &QPushButton::clicked, this, [] {
            if (gHandlers.save)
                gHandlers.save(ScanTabRegisters);
        });
    }

    ScanPacing Pacing() const
    {
        return {static_cast<uint32_t>(timeout_->value()), static_cast<uint32_t>(gap_->value())};
    }

    int SelectedUnit() const
    {
        const QList<QTableWidgetItem*> selected = units_.table->selectedItems();
        if (selected.isEmpty())
            return -1;
        const QTableWidgetItem* first = units_.table->item(selected.front()->row(), 0);
        return first ? first->data(Qt::UserRole).toInt() : -1;
    }

    void FollowSelection() { useUnit_->setEnabled(allowed_ && SelectedUnit() >= 0); }

    TabParts units_;
    TabParts map_;
    QSpinBox* firstUnit_ = nullptr;
    QSpinBox* lastUnit_ = nullptr;
    QCheckBox* identify_ = nullptr;
    QPushButton* useUnit_ = nullptr;
    QSpinBox* mapUnit_ = nullptr;
    QComboBox* table_ = nullptr;
    QSpinBox* firstAddress_ = nullptr;
    QSpinBox* lastAddress_ = nullptr;
    QSpinBox* timeout_ = nullptr;
    QSpinBox* gap_ = nullptr;
    bool allowed_ = false;  // a scan may start: not connected
};

// GUI thread only; file-local: the window, once made, until it goes with
// the main window.
QPointer<ScanWindowWidget> gWindow;

}  // namespace

void SetScanWindowHandlers(const ScanWindowHandlers& handlers)
{
    gHandlers = handlers;
}

bool OpenScanWindow(const ScanPacing& pacing)
{
    const bool made = !gWindow;
    if (made) {
        QWidget* tabs = FindControl(IdTabPanel);
        QWidget* main = tabs ? tabs->window() : nullptr;
        gWindow = new ScanWindowWidget(main, pacing);
        PlaceOnScreen(gWindow, QSize(kPreferredWidth, kPreferredHeight), main);
    }
    gWindow->show();
    gWindow->raise();
    gWindow->activateWindow();
    return made;
}

QWidget* ScanWindow()
{
    return gWindow;
}

void ShowScanTarget(const std::string& text)
{
    if (gWindow)
        gWindow->target_->setText(Text(text));
}

void ShowScanState(bool running, bool allowed, const std::string& whyNot)
{
    if (gWindow)
        gWindow->ShowState(running, allowed, whyNot);
}

void SetScanStatus(ScanTab tab, const std::string& text)
{
    if (gWindow)
        gWindow->Tab(tab).status->setText(Text(text));
}

std::string ScanStatus(ScanTab tab)
{
    return gWindow ? gWindow->Tab(tab).status->text().toStdString() : std::string();
}

void SetScanProgress(ScanTab tab, int done, int total)
{
    if (!gWindow)
        return;
    QProgressBar* bar = gWindow->Tab(tab).progress;
    bar->setRange(0, std::max(1, total));
    bar->setValue(std::clamp(done, 0, std::max(1, total)));
}

void ClearScanRows(ScanTab tab)
{
    if (gWindow)
        gWindow->Tab(tab).table->setRowCount(0);
}

void AddScanUnitRow(int unit, const ScanRow& cells)
{
    if (!gWindow)
        return;
    QTableWidget* table = gWindow->Tab(ScanTabUnits).table;
    const int row = table->rowCount();
    table->insertRow(row);
    for (size_t c = 0; c < cells.size() && c < static_cast<size_t>(table->columnCount()); c++)
        SetCell(table, row, static_cast<int>(c), cells[c]);
    if (QTableWidgetItem* first = table->item(row, 0))
        first->setData(Qt::UserRole, unit);
    // The status in full: the words that matter come last.
    const int wanted = table->fontMetrics().horizontalAdvance(Text(cells.size() > 1 ? cells[1] : "")) + 16;
    if (wanted > table->columnWidth(1))
        table->setColumnWidth(1, wanted);
    table->scrollToItem(table->item(row, 0));
}

void ReplaceScanMapRows(size_t from, const std::vector<ScanRow>& rows)
{
    if (!gWindow)
        return;
    QTableWidget* table = gWindow->Tab(ScanTabRegisters).table;
    const int first = static_cast<int>(std::min(from, static_cast<size_t>(table->rowCount())));
    table->setRowCount(first + static_cast<int>(rows.size()));
    for (size_t r = 0; r < rows.size(); r++)
        for (size_t c = 0; c < rows[r].size() && c < static_cast<size_t>(table->columnCount()); c++)
            SetCell(table, first + static_cast<int>(r), static_cast<int>(c), rows[r][c]);
    if (!rows.empty())
        table->scrollToItem(table->item(table->rowCount() - 1, 0));
}
