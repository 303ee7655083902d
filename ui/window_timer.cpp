#include "ui/window_timer.h"

#include <QTimer>

#include <climits>
#include <map>

#include "ui/window_handlers.h"

namespace {
std::map<int, QTimer*> gTimers;  // GUI thread only
}

void StartWindowTimer(int id, long long intervalMs)
{
    if (intervalMs < kMinTimerInterval)
        intervalMs = kMinTimerInterval;
    if (intervalMs > INT_MAX)
        intervalMs = INT_MAX;

    QTimer*& timer = gTimers[id];
    if (!timer) {
        timer = new QTimer;
        timer->setTimerType(Qt::PreciseTimer);
        QObject::connect(timer, &QTimer::timeout, [id] { ReportTimerEvent(id); });
    }
    timer->start(static_cast<int>(intervalMs));
}

void StopWindowTimer(int id)
{
    auto it = gTimers.find(id);
    if (it == gTimers.end())
        return;
    QTimer* timer = it->second;
    gTimers.erase(it);
    timer->stop();
    // A tick may be on its way out of this very timer's signal.
    timer->deleteLater();
}

bool IsWindowTimerActive(int id)
{
    return gTimers.count(id) != 0;
}

int WindowTimerInterval(int id)
{
    auto it = gTimers.find(id);
    return it == gTimers.end() ? -1 : it->second->interval();
}

void StopAllWindowTimers()
{
    while (!gTimers.empty())
        StopWindowTimer(gTimers.begin()->first);
}
