#include "ui/window_timer.h"

#include <QSocketNotifier>
#include <QTimer>

#include <sys/timerfd.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <map>

#include "ui/window_handlers.h"

namespace {

// One window timer. It ticks from a timerfd, which the kernel keeps to the
// period within microseconds: the event loop's own timers wake on whole
// milliseconds, so each of their ticks slips by up to one. Ticks missed while
// the GUI thread was busy come as one, as the loop's timers do. Where no
// timerfd can be had, the loop's timer stands in.
class WindowTimer : public QObject {
public:
    explicit WindowTimer(int id) : id_(id)
    {
        fd_ = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
        if (fd_ >= 0) {
            notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
            connect(notifier_, &QSocketNotifier::activated, this, [this] { Expired(); });
        } else {
            fallback_ = new QTimer(this);
            fallback_->setTimerType(Qt::PreciseTimer);
            connect(fallback_, &QTimer::timeout, this, [this] { ReportTimerEvent(id_); });
        }
    }

    ~WindowTimer() override
    {
        // The notifier goes before its descriptor, or the loop would poll a
        // closed one.
        delete notifier_;
        if (fd_ >= 0)
            close(fd_);
    }

    // Starts anew: the first tick comes one interval from now.
    void Start(int intervalMs)
    {
        interval_ = intervalMs;
        if (fallback_) {
            fallback_->start(intervalMs);
            return;
        }
        itimerspec period{};
        period.it_interval.tv_sec = intervalMs / 1000;
        period.it_interval.tv_nsec = static_cast<long>(intervalMs % 1000) * 1000000L;
        period.it_value = period.it_interval;
        // Setting the time also forgets expirations not yet read.
        timerfd_settime(fd_, 0, &period, nullptr);
    }

    void Stop()
    {
        if (fallback_)
            fallback_->stop();
        else
            notifier_->setEnabled(false);
    }

    int Interval() const { return interval_; }

private:
    void Expired()
    {
        uint64_t expirations = 0;
        // Nothing to read when the timer was set anew since the loop looked.
        if (read(fd_, &expirations, sizeof expirations) == static_cast<ssize_t>(sizeof expirations) && expirations > 0)
            ReportTimerEvent(id_);
    }

    int id_;
    int fd_ = -1;
    int interval_ = 0;
    QSocketNotifier* notifier_ = nullptr;
    QTimer* fallback_ = nullptr;
};

// GUI thread only; file-local: the timers are reached by id through the
// operations below.
std::map<int, WindowTimer*> gTimers;

}  // namespace

void StartWindowTimer(int id, long long intervalMs)
{
    if (intervalMs < kMinTimerInterval)
        intervalMs = kMinTimerInterval;
    if (intervalMs > INT_MAX)
        intervalMs = INT_MAX;

    WindowTimer*& timer = gTimers[id];
    if (!timer)
        timer = new WindowTimer(id);
    timer->Start(static_cast<int>(intervalMs));
}

void StopWindowTimer(int id)
{
    auto it = gTimers.find(id);
    if (it == gTimers.end())
        return;
    WindowTimer* timer = it->second;
    gTimers.erase(it);
    timer->Stop();
    // A tick may be on its way out of this very timer.
    timer->deleteLater();
}

bool IsWindowTimerActive(int id)
{
    return gTimers.count(id) != 0;
}

int WindowTimerInterval(int id)
{
    auto it = gTimers.find(id);
    return it == gTimers.end() ? -1 : it->second->Interval();
}

void StopAllWindowTimers()
{
    while (!gTimers.empty())
        StopWindowTimer(gTimers.begin()->first);
}
