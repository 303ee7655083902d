// Renders each page of the window offscreen into OUTPUT_DIR/page-N-name.png
// for the documentation, and two closer looks at the View Data page: a
// value's tool tip and the list's right-click menu. Built with the tests,
// not run by them:
//   render_pages docs
#include <QApplication>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QTabWidget>
#include <QTableView>
#include <QToolTip>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/looking_closer.h"
#include "app/program_state.h"
#include "common/colours.h"
#include "dataview/data_list_menu.h"
#include "dataview/data_tables.h"
#include "dataview/value_tip.h"
#include "modbus/log_format.h"
#include "modbus/message_log.h"
#include "ui/control_ids.h"
#include "ui/controls.h"
#include "ui/fonts.h"
#include "ui/gui_call.h"
#include "ui/logo.h"
#include "ui/main_window.h"

namespace {

// A short exchange, so that the log page shows its colours.
void AddSampleExchange()
{
    const uint8_t request[12] = {0x00, 0x04, 0x00, 0x00, 0x00, 0x06, 0x01, 0x03, 0x00, 0x00, 0x00, 0x04};
    const uint8_t valid[17] = {0x00, 0x04, 0x00, 0x00, 0x00, 0x0B, 0x01, 0x03, 0x08,
                               0x00, 0x0A, 0x00, 0x14, 0x01, 0xF4, 0xFF, 0xFF};
    const uint8_t exception[9] = {0x00, 0x04, 0x00, 0x00, 0x00, 0x03, 0x01, 0x83, 0x02};
    AppendLogLine(FormatRequestLine(request, 12), kBlue);
    AppendLogLine(FormatResponseLine(exception, 9), kRed);
    AppendLogLine(FormatElapsedLine(3), kDarkGrey);
    for (int i = 0; i < 3; ++i) {
        AppendLogLine(FormatRequestLine(request, 12), kBlue);
        AppendLogLine(FormatResponseLine(valid, 17), kBlack);
        AppendLogLine(FormatElapsedLine(2 + i), kDarkGrey);
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
    uint8_t bits[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0x81, 0x20, 0x04};
    ShowReadValues(1, bits, 12, 20, 1, 1, 3, 2);
    uint8_t coils[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0x55, 0x55, 0x05};
    ShowReadValues(2, coils, 12, 20, 1, 1, 3, 2);
    uint8_t registers[9 + 40] = {};
    for (int r = 0; r < 20; ++r) {
        const int value = 148 + 100 * r;
        registers[9 + 2 * r] = static_cast<uint8_t>(value >> 8);
        registers[10 + 2 * r] = static_cast<uint8_t>(value);
    }
    ShowReadValues(3, registers, sizeof registers, 20, 1, 1, 3, 2);
    for (int r = 0; r < 20; ++r) {
        registers[9 + 2 * r] = r == 0 ? 0xAB : 0;
        registers[10 + 2 * r] = r == 0 ? 0xCD : static_cast<uint8_t>(r + 1);
    }
    ShowReadValues(4, registers, sizeof registers, 20, 1, 1, 3, 2);
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

// The View Data page with the tool tip of the first Holding Registers value
// and with the right-click menu on the Input Registers value of row 3.
int RenderCloserLooks(QWidget* window, const std::string& dir)
{
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
    return failures;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    InitGuiCalls();
    CreateFonts();
    DecodeLogo();
    RegisterLookingCloserHandlers();
    QWidget* window = BuildMainWindow();
    AddSampleTables();
    AddSampleExchange();

    auto* panel = static_cast<QTabWidget*>(FindControl(IdTabPanel));
    const char* names[] = {"communications", "view-data", "view-messages", "about", "help"};
    int failures = 0;
    for (int page = 0; page < 5; ++page) {
        panel->setCurrentIndex(page);
        QApplication::processEvents();
        const std::string path = std::string(argv[1]) + "/page-" + std::to_string(page + 1) + "-" + names[page] + ".png";
        if (!window->grab().save(QString::fromStdString(path), "PNG")) {
            std::fprintf(stderr, "render_pages: cannot write %s\n", path.c_str());
            ++failures;
        }
    }
    failures += RenderCloserLooks(window, argv[1]);
    delete window;
    return failures == 0 ? 0 : 1;
}
