#include "ui/live_tip.h"

#include <QEvent>
#include <QHelpEvent>
#include <QTimer>
#include <QToolTip>
#include <QWidget>

namespace {

// At most twice a second: figures that change with every poll would
// otherwise flicker.
constexpr int kRefreshMs = 500;

class LiveTipWatcher : public QObject {
public:
    LiveTipWatcher(QWidget* widget, LiveTipText text) : QObject(widget), widget_(widget), text_(std::move(text))
    {
        refresh_.setInterval(kRefreshMs);
        connect(&refresh_, &QTimer::timeout, this, [this] {
            // Showing it anew would keep a tip that is on its way out; the
            // tip hides itself when the mouse leaves its widget or area.
            if (!QToolTip::isVisible() || QToolTip::text() != shown_)
                refresh_.stop();
            else
                Show();
        });
    }

    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::ToolTip)
            return false;
        const auto* help = static_cast<QHelpEvent*>(event);
        at_ = help->pos();
        global_ = help->globalPos();
        shown_.clear();
        Show();
        return true;
    }

private:
    void Show()
    {
        // Asked now, not when the widget was last written: the text of this
        // moment.
        QRect area;
        const QString text = text_(at_, &area);
        if (text.isEmpty()) {
            QToolTip::hideText();
            refresh_.stop();
            return;
        }
        if (text != shown_)
            QToolTip::showText(global_, text, widget_, area);
        shown_ = text;
        if (!refresh_.isActive())
            refresh_.start();
    }

    QWidget* widget_;  // the parent: lives as long as this watcher
    LiveTipText text_;
    QPoint at_;      // where the tip was asked for, in the widget
    QPoint global_;  // the same on the screen
    QString shown_;  // the text the tip shows, empty for none
    QTimer refresh_;
};

}  // namespace

void WatchLiveTip(QWidget* widget, LiveTipText text)
{
    if (!widget)
        return;
    for (QObject* child : widget->children())
        if (auto* old = dynamic_cast<LiveTipWatcher*>(child)) {
            widget->removeEventFilter(old);
            delete old;
        }
    widget->installEventFilter(new LiveTipWatcher(widget, std::move(text)));
}
