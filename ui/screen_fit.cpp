#include "ui/screen_fit.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QSize>
#include <QTimer>
#include <QWidget>

#include <algorithm>

namespace {

// The frame the desktop puts around a window, as it is around one already
// shown (none before the first is framed).
QMargins FrameOf(const QWidget* window)
{
    if (!window || !window->isVisible())
        return {};
    const QRect outer = window->frameGeometry();
    const QRect inner = window->geometry();
    return QMargins(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                    outer.bottom() - inner.bottom());
}

const QWidget* MainWindowOf(const QWidget* window)
{
    const QWidget* parent = window->parentWidget();
    return parent ? parent->window() : nullptr;
}

QScreen* ScreenOf(const QWidget* window, const QWidget* near)
{
    if (near && near->screen())
        return near->screen();
    if (window->screen())
        return window->screen();
    return QGuiApplication::primaryScreen();
}

// The client rectangle of a window of size, centred over near's, inside area.
QRect Fitted(const QRect& area, const QMargins& frame, QSize size, const QWidget* near)
{
    const QRect room = area.marginsRemoved(frame);
    size = size.boundedTo(room.size());
    const QPoint centre = near && near->isVisible() ? near->frameGeometry().center() : area.center();
    QRect placed(QPoint(), size);
    placed.moveCenter(centre);
    placed.moveLeft(std::clamp(placed.left(), room.left(), room.right() + 1 - size.width()));
    placed.moveTop(std::clamp(placed.top(), room.top(), room.bottom() + 1 - size.height()));
    return placed;
}

// A window's position is that of its frame.
void Place(QWidget* window, const QRect& client, const QMargins& frame)
{
    if (client.size() != window->size())
        window->resize(client.size());
    window->move(client.topLeft() - QPoint(frame.left(), frame.top()));
}

// Fits a window each time it is shown, once its own layout has sized it.
class ScreenKeeper : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show) {
            // After the window's own show, which may size it (a message box).
            QTimer::singleShot(0, watched, [window = static_cast<QWidget*>(watched)] {
                const QWidget* near = MainWindowOf(window);
                if (QScreen* screen = ScreenOf(window, near))
                    Place(window, Fitted(screen->availableGeometry(), FrameOf(near), window->size(), near),
                          FrameOf(near));
            });
        }
        return false;
    }
};

}  // namespace

void PlaceOnScreen(QWidget* window, const QSize& preferred, const QWidget* near)
{
    QScreen* screen = ScreenOf(window, near);
    if (!screen) {
        window->resize(preferred);
        return;
    }
    Place(window, Fitted(screen->availableGeometry(), FrameOf(near), preferred, near), FrameOf(near));
}

void KeepOnScreen(QWidget* window)
{
    for (QObject* child : window->children())
        if (dynamic_cast<ScreenKeeper*>(child))
            return;
    window->installEventFilter(new ScreenKeeper(window));
}
