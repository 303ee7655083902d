// Renders each page of the window offscreen into OUTPUT_DIR/page-N-name.png
// for the documentation. Built with the tests, not run by them:
//   render_pages docs
#include <QApplication>
#include <QPixmap>
#include <QTabWidget>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/program_state.h"
#include "common/colours.h"
#include "dataview/data_tables.h"
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
    delete window;
    return failures == 0 ? 0 : 1;
}
