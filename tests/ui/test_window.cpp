#include "tests/ui/test_window.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QWidget>

#include "ui/control_ids.h"
#include "ui/fonts.h"
#include "ui/gui_call.h"
#include "ui/logo.h"
#include "ui/main_window.h"

QWidget* TestWindow()
{
    static QWidget* window = nullptr;
    delete window;
    ClearControlRegistry();
    ResetGuiCalls();
    CreateFonts();
    DecodeLogo();
    window = BuildMainWindow();
    return window;
}

bool PumpUntil(const std::function<bool()>& done)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}
