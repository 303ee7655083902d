#include "app/application.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <memory>

#include "app/dispatch.h"
#include "app/shutdown.h"
#include "connection/transport.h"
#include "engine/cell_edit.h"
#include "engine/device_scan.h"
#include "engine/settings.h"
#include "engine/tips_and_menus.h"
#include "ui/controls.h"
#include "ui/editable_list.h"
#include "ui/fonts.h"
#include "ui/gui_call.h"
#include "ui/logo.h"
#include "ui/main_window.h"
#include "ui/message_box.h"
#include "ui/window_handlers.h"

namespace {

constexpr const char* kNoNetworkText = "There is no TCP/IP stack available on the system. ";
constexpr const char* kNoWindowText = "The main window could not be created. ";

}  // namespace

void InstallHandlers()
{
    SetControlEventHandler(DispatchControlEvent);
    SetTimerEventHandler(DispatchTimerEvent);
    SetCloseHandler(Shutdown);
    SetEditCallback(HandleCellEdit);
    SetCompareCallback(CompareCells);
    RegisterTipAndMenuHandlers();
    RegisterScanWindowHandlers();
}

int RunApplication(int argc, char** argv, const StartupHooks& hooks)
{
    // Tests call this with their QApplication already made; there can only
    // be one per process.
    std::unique_ptr<QApplication> ownApplication;
    if (!QApplication::instance())
        ownApplication = std::make_unique<QApplication>(argc, argv);
    // Lets a Wayland desktop match the window to the installed menu entry.
    QGuiApplication::setDesktopFileName("org.example.sorbel.Client");
    InitGuiCalls();

    CreateFonts();
    DecodeLogo();

    const bool networkReady = hooks.startNetwork ? hooks.startNetwork() : StartNetwork();
    if (!networkReady) {
        ShowMessageBox(kNoNetworkText);
        return 0;
    }

    InstallHandlers();
    std::unique_ptr<QWidget> window(BuildMainWindow());
    if (!window) {
        ShowMessageBox(kNoWindowText);
        StopNetwork();
        return 0;
    }
    LoadSettings();

    if (hooks.afterStartup)
        QTimer::singleShot(0, hooks.afterStartup);
    QApplication::exec();

    // The widgets go with the window; nothing may reach them by id now.
    window.reset();
    ClearControlRegistry();
    return 0;
}
