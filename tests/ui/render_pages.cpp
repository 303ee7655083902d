// Renders the pages of the window offscreen for the documentation:
//   OUTPUT_DIR/page-N-name.png         every page, as the window opens
//   OUTPUT_DIR/page-5-help-more.png    the Help page scrolled to its end
//   OUTPUT_DIR/page-N-name-dark.png    View Data and View Messages under a
//                                      dark desktop colour scheme
//   OUTPUT_DIR/page-N-name-scale-2.png the same two at QT_SCALE_FACTOR=2
//   OUTPUT_DIR/looking-closer-*.png    a value's tool tip and the list's
//                                      right-click menu on View Data
//   OUTPUT_DIR/looking-closer-connected.png  View Data connected: the
//                                      caption disabled, a refusal notice
//                                      and the Bad counter's tip
//   OUTPUT_DIR/write-value-dialog.png  the "Write value…" dialog with a
//                                      float32 about to go out
//   OUTPUT_DIR/values-over-time-*.png  the menu's recording and "Plot"
//                                      entries with the recording's mark,
//                                      and the trend window with four
//                                      series, each on its scale, and a
//                                      minute without data
//   OUTPUT_DIR/scan-window.png         the Scan window after a scan of a
//                                      gateway's units 1 to 8
// Built with the tests, not run by them:
//   render_pages docs
// The pictures come out the same on every machine: the screen, the style,
// the scale and the fonts are fixed here (DejaVu Sans from fonts-dejavu-core
// only, through a fontconfig set-up of the renderer's own), not taken from
// the desktop.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QProcess>
#include <QScrollBar>
#include <QSpinBox>
#include <QStyleFactory>
#include <QTabWidget>
#include <QTableView>
#include <QTextEdit>
#include <QToolTip>
#include <QWidget>

#include <QThread>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

#include "app/application.h"
#include "common/colours.h"
#include "common/table_numbers.h"
#include "dataview/sample_handover.h"
#include "dataview/scan_csv.h"
#include "dataview/scan_words.h"
#include "dataview/value_formats.h"
#include "engine/connection_control.h"
#include "engine/control_states.h"
#include "engine/counter_tips.h"
#include "engine/csv_recording.h"
#include "engine/data_tables.h"
#include "engine/device_scan.h"
#include "engine/message_log.h"
#include "engine/program_state.h"
#include "engine/value_tip.h"
#include "engine/write_value.h"
#include "modbus/log_format.h"
#include "tests/ui/dark_palette.h"
#include "ui/control_ids.h"
#include "ui/controls.h"
#include "ui/data_list.h"
#include "ui/data_list_menu.h"
#include "ui/file_dialog.h"
#include "ui/fonts.h"
#include "ui/gui_call.h"
#include "ui/logo.h"
#include "ui/main_window.h"
#include "ui/scan_window.h"
#include "ui/trend_window.h"
#include "ui/window_timer.h"

namespace {

// A short exchange, so that the log page shows its colours; each request
// with the transaction id it would go out with, its answer with the same.
void AddSampleExchange()
{
    uint8_t request[12] = {0x00, 0x01, 0x00, 0x00, 0x00, 0x06, 0x01, 0x03, 0x00, 0x00, 0x00, 0x04};
    uint8_t valid[17] = {0x00, 0x01, 0x00, 0x00, 0x00, 0x0B, 0x01, 0x03, 0x08,
                         0x00, 0x0A, 0x00, 0x14, 0x01, 0xF4, 0xFF, 0xFF};
    const uint8_t exception[9] = {0x00, 0x01, 0x00, 0x00, 0x00, 0x03, 0x01, 0x83, 0x02};
    AppendLogLine(FormatRequestLine(request, 12), kBlue);
    AppendLogLine(FormatResponseLine(exception, 9), kRed);
    AppendLogLine(FormatElapsedLine(3), kDarkGrey);
    for (uint8_t id = 2; id <= 4; ++id) {
        request[1] = valid[1] = id;
        AppendLogLine(FormatRequestLine(request, 12), kBlue);
        AppendLogLine(FormatResponseLine(valid, 17), kBlack);
        AppendLogLine(FormatElapsedLine(id), kDarkGrey);
    }
    program.pollCount = 4;
    program.validCount = 3;
    program.badCount = 1;
    RefreshCounterFields();
    SetStatusField(StatusText, "Read Status: OK");
}

void NoPause() {}

// A block of twenty values in all four tables, as a first poll shows it.
void AddSampleTables()
{
    SetSelectorIndex(IdSelectorDI, 1);
    SetSelectorIndex(IdSelectorCO, 1);
    SetSelectorIndex(IdSelectorIR, 3);
    SetSelectorIndex(IdSelectorHR, 2);
    SetControlText(IdLengthField, "20");
    RebuildDataTables();

    SetValuePause(NoPause);
    uint8_t bits[3] = {0x81, 0x20, 0x04};
    ShowReadValues(1, bits, 3, 20, 1, 1, 3, 2);
    uint8_t coils[3] = {0x55, 0x55, 0x05};
    ShowReadValues(2, coils, 3, 20, 1, 1, 3, 2);
    uint8_t registers[40] = {};
    for (int r = 0; r < 20; ++r) {
        const int value = 148 + 100 * r;
        registers[2 * r] = static_cast<uint8_t>(value >> 8);
        registers[2 * r + 1] = static_cast<uint8_t>(value);
    }
    ShowReadValues(3, registers, sizeof registers, 20, 1, 1, 3, 2);
    for (int r = 0; r < 20; ++r) {
        registers[2 * r] = r == 0 ? 0xAB : 0;
        registers[2 * r + 1] = r == 0 ? 0xCD : static_cast<uint8_t>(r + 1);
    }
    ShowReadValues(4, registers, sizeof registers, 20, 1, 1, 3, 2);
}

// Fixes everything the pictures would otherwise take from the machine.
void FixRenderingEnvironment(const char* scale)
{
    for (const char* name : {"QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS", "QT_ENABLE_HIGHDPI_SCALING", "QT_FONT_DPI",
                             "QT_QPA_PLATFORMTHEME", "QT_STYLE_OVERRIDE", "FREETYPE_PROPERTIES"})
        unsetenv(name);
    // A screen large enough for the whole window at scale 2.
    setenv("QT_QPA_PLATFORM", "offscreen:configfile=" SORBEL_RENDER_SCREEN, 1);
    setenv("FONTCONFIG_FILE", SORBEL_RENDER_FONTS, 1);
    if (scale)
        setenv("QT_SCALE_FACTOR", scale, 1);
}

QWidget* BuildSampleWindow()
{
    ClearControlRegistry();
    ResetGuiCalls();
    CreateFonts();
    DecodeLogo();
    InstallHandlers();
    QWidget* window = BuildMainWindow();
    AddSampleTables();
    AddSampleExchange();
    return window;
}

struct Page {
    int index;
    const char* name;
};

// Saves the given pages of a freshly built window; the number of failures.
int RenderPages(const std::string& dir, std::initializer_list<Page> pages, const char* suffix)
{
    QWidget* window = BuildSampleWindow();
    auto* panel = static_cast<QTabWidget*>(FindControl(IdTabPanel));
    int failures = 0;
    for (const Page& page : pages) {
        panel->setCurrentIndex(page.index);
        QApplication::processEvents();
        const std::string path = dir + "/page-" + std::to_string(page.index + 1) + "-" + page.name + suffix + ".png";
        if (!window->grab().save(QString::fromStdString(path), "PNG")) {
            std::fprintf(stderr, "render_pages: cannot write %s\n", path.c_str());
            ++failures;
        }
    }
    delete window;
    return failures;
}

// The window with a popup (a tool tip or a menu) drawn where the screen
// shows it; the picture grows to hold a popup that reaches past the window.
bool SaveWithPopup(QWidget* window, QWidget* popup, const std::string& path)
{
    const QRect frame(window->mapToGlobal(QPoint(0, 0)), window->size());
    const QRect bounds = frame.united(popup->geometry());
    QPixmap picture(bounds.size());
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.drawPixmap(frame.topLeft() - bounds.topLeft(), window->grab());
    painter.drawPixmap(popup->geometry().topLeft() - bounds.topLeft(), popup->grab());
    painter.end();
    if (picture.save(QString::fromStdString(path), "PNG"))
        return true;
    std::fprintf(stderr, "render_pages: cannot write %s\n", path.c_str());
    return false;
}

// The window with popups (a menu and its submenu) drawn where the screen
// shows them.
bool SaveWithPopups(QWidget* window, std::initializer_list<QWidget*> popups, const std::string& path)
{
    const QRect frame(window->mapToGlobal(QPoint(0, 0)), window->size());
    QRect bounds = frame;
    for (QWidget* popup : popups)
        bounds = bounds.united(popup->geometry());
    QPixmap picture(bounds.size());
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.drawPixmap(frame.topLeft() - bounds.topLeft(), window->grab());
    for (QWidget* popup : popups)
        painter.drawPixmap(popup->geometry().topLeft() - bounds.topLeft(), popup->grab());
    painter.end();
    if (picture.save(QString::fromStdString(path), "PNG"))
        return true;
    std::fprintf(stderr, "render_pages: cannot write %s\n", path.c_str());
    return false;
}

std::string gRecordingPath;

// Fixed points for the trend picture, every two seconds over the ten
// minutes before kPictureEnd: a register swinging over 0 to 1800, a float
// of +-60, the response time and a bit, with a minute of link down in the
// middle, where no value was read.
constexpr int64_t kPictureEnd = 1'765'180'800'000;  // 2025-12-08 08:00:00 UTC
constexpr int64_t kOutageFrom = kPictureEnd - 330'000;
constexpr int64_t kOutageTo = kPictureEnd - 270'000;
void FeedPicturePoints(SeriesStore& store)
{
    for (Series& series : store.series) {
        if (!SeriesPoints(series).empty())
            continue;
        for (int s = 0; s <= 300; s++) {
            const int64_t t = kPictureEnd - 600'000 + 2000 * s;
            if (t > kOutageFrom && t < kOutageTo) {
                MarkSeriesGap(series);
                continue;
            }
            const double x = s / 12.0;
            double value = 900 + 800 * std::sin(x) + 40 * std::sin(s * 1.7);
            if (series.source.type == SeriesBit)
                value = std::sin(x) > 0.3 ? 1 : 0;
            else if (series.source.type == SeriesFloat32)
                value = static_cast<float>(55 * std::sin(s / 7.0) + 4 * std::sin(s * 2.3));
            else if (series.source.type == SeriesResponseTime)
                value = 22 + (s * 37 % 11) + (s % 29 == 0 ? 14 : 0);
            else
                value = std::round(value);
            AppendPoint(series, t, value);
        }
    }
    if (store.outages.empty())
        store.outages.push_back({kOutageFrom - 2000, kOutageTo});
}

// The data list's menu with a recording running and "Plot" open, and the
// trend window with two series and its cursor.
int RenderValuesOverTime(const std::string& dir)
{
    QWidget* window = BuildSampleWindow();
    auto* list = static_cast<QTableView*>(FindControl(IdDataList));
    static_cast<QTabWidget*>(FindControl(IdTabPanel))->setCurrentIndex(1);
    int failures = 0;

    // A recording of 1234 rows under way, into a file of the renderer's own.
    gRecordingPath = (std::filesystem::temp_directory_path() / "overnight.csv").string();
    SetSaveFileNameHook([](const std::string&, const std::string&) { return gRecordingPath; });
    ToggleRecording();
    CycleSample sample;
    const int selectors[4] = {1, 1, 3, 2};
    for (int i = 0; i < 1234; i++) {
        BeginCycleSample(sample, 1, 20, selectors);
        PublishSample(program.samples, std::move(sample));
    }
    while (RecordEntryText().find("1234 rows") == std::string::npos)
        QThread::msleep(10);
    program.link.state = LinkUp;
    RecordingTick();
    QApplication::processEvents();

    const QModelIndex cell = list->model()->index(2, 7);
    QMenu* menu = BuildDataListMenu(list, cell);
    menu->popup(list->viewport()->mapToGlobal(list->visualRect(cell).center()));
    QApplication::processEvents();
    QMenu* plot = nullptr;
    for (QAction* action : menu->actions())
        if (action->menu())
            plot = action->menu();
    if (plot) {
        const QRect entry = menu->actionGeometry(plot->menuAction());
        plot->popup(menu->mapToGlobal(QPoint(menu->width() - 4, entry.top())));
        QApplication::processEvents();
    }
    if (!plot || !SaveWithPopups(window, {menu, plot}, dir + "/values-over-time-menu.png"))
        ++failures;
    delete menu;
    ToggleRecording();
    EndRecordingAtShutdown();
    std::filesystem::remove(gRecordingPath);
    SetSaveFileNameHook(nullptr);
    program.link.state = LinkOff;

    SetTrendWindowHandlers({FeedPicturePoints, nullptr});
    AddTrendSeries({SeriesU16, 4, 3, 0});
    AddTrendSeries({SeriesFloat32, 4, 5, 1});
    AddTrendSeries(ResponseTimeSource());
    AddTrendSeries({SeriesBit, 2, 3, 0});
    QWidget* trend = TrendWindow();
    trend->resize(820, 560);
    for (int i = 0; i < 100 && SeriesPoints(TrendSeriesStore()->series[3]).empty(); i++) {
        QThread::msleep(10);
        QApplication::processEvents();
    }
    trend->findChildren<QComboBox*>().front()->setCurrentIndex(1);  // 10 min
    SetTrendViewEnd(kPictureEnd + 2000);
    SetTrendCursor(kPictureEnd - 141'000);
    QApplication::processEvents();
    if (!trend->grab().save(QString::fromStdString(dir + "/values-over-time-trend.png"), "PNG")) {
        std::fprintf(stderr, "render_pages: cannot write the trend window\n");
        ++failures;
    }
    delete trend;
    SetTrendWindowHandlers({});
    StopAllWindowTimers();
    delete window;
    return failures;
}

// The View Data page with the tool tip of the first Holding Registers value
// and with the right-click menu on the Input Registers value of row 3.
int RenderCloserLooks(const std::string& dir)
{
    QWidget* window = BuildSampleWindow();
    auto* list = static_cast<QTableView*>(FindControl(IdDataList));
    static_cast<QTabWidget*>(FindControl(IdTabPanel))->setCurrentIndex(1);
    QApplication::processEvents();
    int failures = 0;

    const QRect cell = list->visualRect(list->model()->index(0, 7));
    QToolTip::showText(list->viewport()->mapToGlobal(cell.center()), QString::fromStdString(ValueCellTip(0, 7)),
                       list->viewport());
    QApplication::processEvents();
    QWidget* tip = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->inherits("QTipLabel") && w->isVisible())
            tip = w;
    if (!tip)
        std::fprintf(stderr, "render_pages: no tool tip to draw\n");
    if (!tip || !SaveWithPopup(window, tip, dir + "/looking-closer-tip.png"))
        ++failures;
    QToolTip::hideText();

    const QModelIndex row = list->model()->index(2, 5);
    QMenu* menu = BuildDataListMenu(list, row);
    menu->popup(list->viewport()->mapToGlobal(list->visualRect(row).center()));
    QApplication::processEvents();
    if (!SaveWithPopup(window, menu, dir + "/looking-closer-menu.png"))
        ++failures;
    delete menu;
    delete window;
    return failures;
}

// The View Data page while connected: the selectors' caption disabled, a
// refused edit's notice beside its row, and the Bad counter's tip with the
// period its figures cover.
int RenderConnectedLook(const std::string& dir)
{
    QWidget* window = BuildSampleWindow();
    static_cast<QTabWidget*>(FindControl(IdTabPanel))->setCurrentIndex(1);
    program.link.state = LinkUp;
    UpdateConnectionControls();
    SetStatusField(StatusText, "Read Status: OK");
    for (uint32_t ms : {12u, 14u, 11u})
        RecordValidResponse(program.responseStats, ms);
    RecordBadResponse(program.responseStats, {OutcomeException, FaultNone, LossNone, 2});
    program.figuresStart = FiguresSinceConnect;
    program.figuresStartedAt = WallTime{kPictureEnd - 3'600'000, 0};
    QApplication::processEvents();

    ShowCellNotice(6, 7, "Not sent: \"12x\" is not " + RegisterFormatRule(FormatHex) + ".");
    QWidget* notice = nullptr;
    QLabel* bad = nullptr;
    for (QWidget* w : QApplication::allWidgets()) {
        if (w->objectName() == QLatin1String(kCellNoticeName) && w->isVisible())
            notice = w;
        if (auto* label = qobject_cast<QLabel*>(w); label && label->text().startsWith(QStringLiteral("Bad:")))
            bad = label;
    }
    QWidget* tip = nullptr;
    if (bad) {
        QToolTip::showText(bad->mapToGlobal(QPoint(bad->width() / 2, 0)),
                           QString::fromStdString(CounterFieldTip(StatusBad)), bad);
        QApplication::processEvents();
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->inherits("QTipLabel") && w->isVisible())
                tip = w;
    }
    int failures = 0;
    if (!notice || !tip) {
        std::fprintf(stderr, "render_pages: no notice or no counter tip to draw\n");
        ++failures;
    } else if (!SaveWithPopups(window, {notice, tip}, dir + "/looking-closer-connected.png")) {
        ++failures;
    }
    QToolTip::hideText();
    if (notice)
        notice->hide();
    program.link.state = LinkOff;
    UpdateConnectionControls();
    ResetResponseStats(program.responseStats);
    program.figuresStart = FiguresSinceStartUp;
    delete window;
    return failures;
}

// The "Write value…" dialog of Holding Register 40005: 123.456 as a
// float32 in CDAB order, as the README's demo writes it.
int RenderWriteValueDialog(const std::string& dir)
{
    QWidget* window = BuildSampleWindow();
    static_cast<QTabWidget*>(FindControl(IdTabPanel))->setCurrentIndex(1);
    // Connected, as the dialog is only then, with the demo's address offset.
    program.link.state = LinkUp;
    SetCheckState(IdOffsetCheck, 1);
    QDialog* dialog = CreateWriteValueDialogFor(4, 7);
    if (!dialog) {
        std::fprintf(stderr, "render_pages: no Write value dialog\n");
        program.link.state = LinkOff;
        delete window;
        return 1;
    }
    for (auto [name, entry] : {std::pair{"type", "float32"}, {"order", "CDAB (word swap)"}}) {
        auto* box = dialog->findChild<QComboBox*>(QLatin1String(name));
        box->setCurrentIndex(box->findText(QLatin1String(entry)));
    }
    dialog->findChild<QLineEdit*>(QStringLiteral("value"))->setText(QStringLiteral("123.456"));
    // A caret that does not blink is drawn the same at every grab.
    const int flashTime = QApplication::cursorFlashTime();
    QApplication::setCursorFlashTime(0);
    dialog->show();
    QApplication::processEvents();
    const std::string path = dir + "/write-value-dialog.png";
    const bool saved = dialog->grab().save(QString::fromStdString(path), "PNG");
    if (!saved)
        std::fprintf(stderr, "render_pages: cannot write %s\n", path.c_str());
    QApplication::setCursorFlashTime(flashTime);
    program.link.state = LinkOff;
    delete dialog;
    delete window;
    return saved ? 0 : 1;
}

// The Scan window as the README's gateway leaves it: units 1 and 7 answer
// and tell who they are, nothing is behind 3, the rest are silent.
int RenderScanWindow(const std::string& dir)
{
    QWidget* window = BuildSampleWindow();
    SetControlText(IdPortField, "1502");
    OpenDeviceScan();
    for (int unit = 1; unit <= 8; unit++) {
        UnitResult r;
        r.unit = unit;
        r.status = unit == 1 || unit == 7 ? UnitAnswers : unit == 3 ? UnitAbsent : UnitSilent;
        r.function = 3;
        r.exceptionCode = unit == 3 ? 0x0B : 0;
        r.identified = r.status == UnitAnswers;
        if (r.identified)
            r.identity = {"Sorbel", "SIM-1", "1.0"};
        ScanRow cells = {std::to_string(unit), UnitStatusWords(r)};
        for (const std::string& object : r.identity)
            cells.push_back(IdentityText(object));
        AddScanUnitRow(unit, cells);
    }
    SetScanProgress(ScanTabUnits, 1, 1);
    SetScanStatus(ScanTabUnits, "8 units: 2 answers, 1 absent, 5 silent; 10 requests in 1.3 s.");
    QWidget* scan = ScanWindow();
    scan->findChild<QSpinBox*>(QStringLiteral("lastUnit"))->setValue(8);
    scan->findChild<QCheckBox*>(QStringLiteral("identify"))->setChecked(true);
    QApplication::processEvents();
    const std::string path = dir + "/scan-window.png";
    const bool saved = scan && scan->grab().save(QString::fromStdString(path), "PNG");
    if (!saved)
        std::fprintf(stderr, "render_pages: cannot write %s\n", path.c_str());
    delete window;
    return saved ? 0 : 1;
}

// The Help page scrolled to its end: what came after the short help.
int RenderMoreHelp(const std::string& dir)
{
    QWidget* window = BuildSampleWindow();
    auto* panel = static_cast<QTabWidget*>(FindControl(IdTabPanel));
    panel->setCurrentIndex(4);
    QApplication::processEvents();
    auto* pane = static_cast<QTextEdit*>(FindControl(IdHelpPane));
    pane->verticalScrollBar()->setValue(pane->verticalScrollBar()->maximum());
    QApplication::processEvents();
    const std::string path = dir + "/page-5-help-more.png";
    const bool saved = window->grab().save(QString::fromStdString(path), "PNG");
    if (!saved)
        std::fprintf(stderr, "render_pages: cannot write %s\n", path.c_str());
    delete window;
    return saved ? 0 : 1;
}

constexpr Page kCommunications{0, "communications"};
constexpr Page kViewData{1, "view-data"};
constexpr Page kViewMessages{2, "view-messages"};

}  // namespace

int main(int argc, char** argv)
{
    // Run again by itself with --scale-2 for the pictures at scale 2, which
    // must be set before the application starts.
    const bool scaled = argc == 3 && std::string(argv[1]) == "--scale-2";
    if (argc != 2 && !scaled) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[argc - 1];
    FixRenderingEnvironment(scaled ? "2" : nullptr);
    // The trend window's time axis reads the same everywhere.
    setenv("TZ", "UTC", 1);
    tzset();
    QApplication application(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    InitGuiCalls();

    if (scaled)
        return RenderPages(dir, {kCommunications, kViewData, kViewMessages}, "-scale-2") == 0 ? 0 : 1;

    int failures = RenderPages(dir, {kCommunications, kViewData, kViewMessages, {3, "about"}, {4, "help"}}, "");
    failures += RenderMoreHelp(dir);
    failures += RenderCloserLooks(dir);
    failures += RenderConnectedLook(dir);
    failures += RenderWriteValueDialog(dir);
    failures += RenderValuesOverTime(dir);
    failures += RenderScanWindow(dir);
    const QPalette light = QApplication::palette();
    QApplication::setPalette(DarkPalette());
    failures += RenderPages(dir, {kCommunications, kViewData, kViewMessages}, "-dark");
    QApplication::setPalette(light);

    failures += QProcess::execute(QCoreApplication::applicationFilePath(),
                                  {QStringLiteral("--scale-2"), QString::fromStdString(dir)}) != 0;
    return failures == 0 ? 0 : 1;
}
