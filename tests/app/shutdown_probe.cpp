// Runs the whole program, connects to the server given on the command line
// and closes the window while a poll worker is busy:
//   shutdown_probe PORT waiting  - the worker waits for an answer that never comes
//   shutdown_probe PORT updating - the worker is filling the data list
// The settings file written by the connect is removed again, so whatever
// is found afterwards was written by the shutdown.
#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/application.h"
#include "engine/connection_control.h"
#include "engine/program_state.h"
#include "ui/control_ids.h"
#include "ui/controls.h"
#include "ui/data_list.h"
#include "ui/text_panes.h"

namespace {

std::string gPort;
bool gUpdating = false;

QWidget* MainWindow()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->windowTitle() == QStringLiteral("Sorbel-Client"))
            return w;
    return nullptr;
}

bool WorkerIsBusy()
{
    if (!program.workerRunning.load())
        return false;
    // Waiting: its request is logged and nothing came back. Updating: the
    // first values are in the list and more are on their way.
    return gUpdating ? !GetCellText(0, 1).empty() : !EditorIsEmpty(IdMessageLog);
}

void ConnectAndCloseWhenBusy()
{
    SetControlText(IdHostField, "127.0.0.1");
    SetControlText(IdPortField, gPort);
    SetControlText(IdLengthField, gUpdating ? "125" : "1");
    SetControlText(IdScanField, "10");
    for (int t = 1; t <= 4; ++t)
        SetSelectorIndex(SelectorOfTable(t), 1);
    ToggleConnection();
    // The connect runs off the GUI thread.
    while (program.link.state == LinkConnecting)
        QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    if (!program.link.connection.load()) {
        std::fprintf(stderr, "shutdown_probe: cannot connect\n");
        std::fflush(stderr);
        _exit(3);
    }
    std::remove("vidideze.conf");

    auto* watch = new QTimer(QApplication::instance());
    QObject::connect(watch, &QTimer::timeout, [watch] {
        if (!WorkerIsBusy())
            return;
        watch->stop();
        // Well inside the wait (or the updates) by now.
        QTimer::singleShot(gUpdating ? 20 : 150, [] {
            if (QWidget* window = MainWindow())
                window->close();
        });
    });
    watch->start(5);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: shutdown_probe PORT waiting|updating\n");
        return 2;
    }
    gPort = argv[1];
    gUpdating = std::strcmp(argv[2], "updating") == 0;
    setenv("QT_QPA_PLATFORM", "offscreen", 1);

    StartupHooks hooks;
    hooks.afterStartup = ConnectAndCloseWhenBusy;
    int code = RunApplication(argc, argv, hooks);
    // As the program's own main: a worker may still be blocked.
    std::fflush(nullptr);
    _exit(code);
}
