#include "ui/status_tips.h"

#include <QEvent>
#include <QHelpEvent>
#include <QLabel>
#include <QToolTip>

#include <array>
#include <atomic>

namespace {

constexpr int kFields = 4;
// Set from any thread, read on the GUI thread, hence atomic; file-local: set
// only through SetStatusTipProvider.
std::array<std::atomic<StatusTipProvider>, kFields> gProviders{};

class StatusTipWatcher : public QObject {
public:
    StatusTipWatcher(QLabel* label, int field) : QObject(label), label_(label), field_(field) {}

    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::ToolTip)
            return false;
        const StatusTipProvider provider = gProviders[static_cast<size_t>(field_)].load();
        if (!provider)
            return false;
        // Asked now, not when the field was last written: the figures are
        // those of this moment.
        const std::string text = provider(field_);
        if (text.empty())
            QToolTip::hideText();
        else
            QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), QString::fromStdString(text), label_);
        return true;
    }

private:
    QLabel* label_;  // the parent: lives as long as this watcher
    int field_;
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
