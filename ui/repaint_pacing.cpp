#include "ui/repaint_pacing.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace {

constexpr int kFrameMs = 16;
// A change after this long without a repaint (a caret blink, a key press)
// is painted at once: holding it back would only cost a timer wake-up.
constexpr int kQuietMs = 250;

// Holds back the window's update requests and lets one through per frame.
// Qt asks for a window update once per batch of changes and no more until
// that one has been served, so holding it back is all the pacing needs.
class RepaintPacer : public QObject {
public:
    explicit RepaintPacer(QWidget* window) : QObject(window), window_(window)
    {
        frame_.setSingleShot(true);
        frame_.setTimerType(Qt::PreciseTimer);
        connect(&frame_, &QTimer::timeout, this, [this] {
            passing_ = true;
            QEvent update(QEvent::UpdateRequest);
            QCoreApplication::sendEvent(window_, &update);
            passing_ = false;
            lastPaint_.start();
        });
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != window_ || event->type() != QEvent::UpdateRequest || passing_)
            return false;
        if (frame_.isActive())
            return true;
        if (!lastPaint_.isValid() || lastPaint_.elapsed() >= kQuietMs) {
            lastPaint_.start();
            return false;
        }
        frame_.start(kFrameMs);
        return true;
    }

private:
    QWidget* window_;
    QTimer frame_;
    QElapsedTimer lastPaint_;
    bool passing_ = false;
};

}  // namespace

void PaceRepaints(QWidget* window)
{
    if (window)
        new RepaintPacer(window);
}
