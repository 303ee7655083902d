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
