#include "ui/status_tips.h"

#include <QEvent>
#include <QHelpEvent>
#include <QLabel>
#include <QTimer>
#include <QToolTip>

#include <array>
#include <atomic>

namespace {

constexpr int kFields = 4;
// Set from any thread, read on the GUI thread, hence atomic; file-local: set
// only through SetStatusTipProvider.
std::array<std::atomic<StatusTipProvider>, kFields> gProviders{};

// While its tip shows, the field's figures go on changing: the tip is asked
// for again every so often and shown anew, in the same place, when its text
// changed. The refresh stops with the tip, when another took its place, or
// when the mouse left the field.
class StatusTipWatcher : public QObject {
public:
    StatusTipWatcher(QLabel* label, int field) : QObject(label), label_(label), field_(field)
    {
        refresh_.setInterval(kRefreshMs);
        connect(&refresh_, &QTimer::timeout, this, [this] {
            // Showing it anew would keep a tip that is on its way out.
            if (!QToolTip::isVisible() || QToolTip::text() != shown_ || !label_->underMouse())
                refresh_.stop();
            else
                Show();
        });
    }

    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::ToolTip)
            return false;
        if (!gProviders[static_cast<size_t>(field_)].load())
            return false;
        at_ = static_cast<QHelpEvent*>(event)->globalPos();
        shown_.clear();
        Show();
        return true;
    }

private:
    // At most twice a second: figures that change with every poll would
    // otherwise flicker.
    static constexpr int kRefreshMs = 500;

    void Show()
    {
        const StatusTipProvider provider = gProviders[static_cast<size_t>(field_)].load();
        // Asked now, not when the field was last written: the figures are
        // those of this moment.
        const QString text = provider ? QString::fromStdString(provider(field_)) : QString();
        if (text.isEmpty()) {
            QToolTip::hideText();
            refresh_.stop();
            return;
        }
        if (text != shown_)
            QToolTip::showText(at_, text, label_);
        shown_ = text;
        if (!refresh_.isActive())
            refresh_.start();
    }

    QLabel* label_;  // the parent: lives as long as this watcher
    int field_;
    QPoint at_;      // where the tip was asked for
    QString shown_;  // the text the tip shows, empty for none
    QTimer refresh_;
};

}  // namespace

void SetStatusTipProvider(int field, StatusTipProvider provider)
{
    if (field >= 0 && field < kFields)
        gProviders[static_cast<size_t>(field)].store(provider);
}

void WatchStatusTip(QLabel* label, int field)
{
    if (!label || field < 0 || field >= kFields)
        return;
    for (QObject* child : label->children())
        if (dynamic_cast<StatusTipWatcher*>(child))
            return;
    label->installEventFilter(new StatusTipWatcher(label, field));
}
