#include "tests/ui/test_window.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QTest>
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

QImage ScreenImage(QWidget* widget)
{
    QTest::qWait(50);  // past the window's next frame
    const QRect area(widget->mapTo(widget->window(), QPoint()), widget->size());
    return widget->screen()
        ->grabWindow(widget->window()->winId(), area.x(), area.y(), area.width(), area.height())
        .toImage();
}
