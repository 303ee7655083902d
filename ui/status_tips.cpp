#include "ui/status_tips.h"

#include <QLabel>
#include <QPointer>

#include <array>
#include <atomic>

#include "ui/live_tip.h"

namespace {

constexpr int kFields = 4;
// Set from any thread, read on the GUI thread, hence atomic; file-local: set
// only through SetStatusTipProvider.
std::array<std::atomic<StatusTipProvider>, kFields> gProviders{};

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
    // The provider is asked each time, as it may be set after the window
    // is built; without one the tip is the field's text as it is now.
    WatchLiveTip(label, [label = QPointer<QLabel>(label), field](const QPoint&, QRect*) {
        const StatusTipProvider provider = gProviders[static_cast<size_t>(field)].load();
        if (provider)
            return QString::fromStdString(provider(field));
        return label ? label->text() : QString();
    });
}
