#include "ui/gui_call.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSocketNotifier>
#include <QThread>

#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>

namespace {

enum CallState : uint32_t { CallPending, CallDone, CallReleased };

// One waiting call, on its caller's stack until state leaves CallPending.
struct PendingCall {
    void (*call)(void*) = nullptr;
    void* context = nullptr;
    PendingCall* next = nullptr;
    std::atomic<uint32_t> state{CallPending};
};

// Calls waiting for the GUI thread, newest first. Callers push without a
// lock; the GUI thread takes them all at once.
std::atomic<PendingCall*> gQueue{nullptr};
std::atomic<bool> gReleased{false};

// Written when a call finds the queue empty; its notifier wakes the GUI
// thread's event loop, which then runs the queue.
int gWakeFd = -1;
// Lives on the GUI thread; guarded so that a QApplication destroyed and
// made anew (tests) is noticed.
QPointer<QSocketNotifier> gNotifier;

// GUI thread: runs (or, once released, drops) every queued call in the
// order queued and lets each caller go.
void RunQueuedCalls()
{
    PendingCall* newestFirst = gQueue.exchange(nullptr, std::memory_order_acquire);
    PendingCall* oldestFirst = nullptr;
    while (newestFirst) {
        PendingCall* next = newestFirst->next;
        newestFirst->next = oldestFirst;
        oldestFirst = newestFirst;
        newestFirst = next;
    }
    while (oldestFirst) {
        // Read before the caller is let go: its record goes with its stack.
        PendingCall* call = oldestFirst;
        oldestFirst = call->next;
        const bool run = !gReleased.load();
        if (run)
            call->call(call->context);
        call->state.store(run ? CallDone : CallReleased, std::memory_order_release);
        call->state.notify_one();
    }
}

void OnWake()
{
    uint64_t count = 0;
    // Reset first: a call queued from here on writes again.
    [[maybe_unused]] ssize_t n = read(gWakeFd, &count, sizeof count);
    RunQueuedCalls();
}

} // namespace

void InitGuiCalls()
{
    if (gWakeFd < 0)
        gWakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (!gNotifier && gWakeFd >= 0) {
        gNotifier = new QSocketNotifier(gWakeFd, QSocketNotifier::Read, QCoreApplication::instance());
        QObject::connect(gNotifier, &QSocketNotifier::activated, [] { OnWake(); });
    }
    gReleased = false;
}

bool OnGuiThread()
{
    return QCoreApplication::instance() &&
           QThread::currentThread() == QCoreApplication::instance()->thread();
}

bool RunOnGuiThread(void (*call)(void*), void* context)
{
    if (gReleased)
        return false;
    if (OnGuiThread()) {
        call(context);
        return true;
    }
    if (!gNotifier)
        return false;  // no GUI thread to run it on: touching widgets here is unsafe

    PendingCall pending;
    pending.call = call;
    pending.context = context;
    PendingCall* head = gQueue.load(std::memory_order_relaxed);
    do {
        pending.next = head;
    } while (!gQueue.compare_exchange_weak(head, &pending, std::memory_order_release, std::memory_order_relaxed));
    // Only the call that finds the queue empty wakes the GUI thread; the
    // others are taken with it.
    if (!head) {
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t n = write(gWakeFd, &one, sizeof one);
    }
    // Once released, the GUI thread still takes the queue (and drops it) the
    // next time it looks, so no record is left behind on a stack that is gone.
    uint32_t state = pending.state.load(std::memory_order_acquire);
    while (state == CallPending) {
        pending.state.wait(CallPending, std::memory_order_acquire);
        state = pending.state.load(std::memory_order_acquire);
    }
    return state == CallDone;
}

void ReleaseGuiCallers()
{
    gReleased = true;
    if (OnGuiThread())
        RunQueuedCalls();
}

void ResetGuiCalls()
{
    gReleased = false;
}
