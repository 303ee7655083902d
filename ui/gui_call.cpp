#include "ui/gui_call.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QThread>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <new>

namespace {

// A GuiHandOff's state; the record stays on its caller's stack until it
// leaves CallPending.
enum CallState : uint32_t { CallPending, CallDone, CallReleased };

// Calls waiting for the GUI thread, newest first. Callers push without a
// lock; the GUI thread takes them all at once.
std::atomic<GuiHandOff*> gQueue{nullptr};
std::atomic<bool> gReleased{false};

// GUI thread: runs (or, once released, drops) every queued call in the
// order queued and lets each caller go.
void RunQueuedCalls()
{
    GuiHandOff* newestFirst = gQueue.exchange(nullptr, std::memory_order_acquire);
    GuiHandOff* oldestFirst = nullptr;
    while (newestFirst) {
        GuiHandOff* next = newestFirst->next;
        newestFirst->next = oldestFirst;
        oldestFirst = newestFirst;
        newestFirst = next;
    }
    while (oldestFirst) {
        // Read before the caller is let go: its record goes with its stack.
        GuiHandOff* call = oldestFirst;
        oldestFirst = call->next;
        const bool run = !gReleased.load();
        if (run)
            call->call(call->context);
        call->state.store(run ? CallDone : CallReleased, std::memory_order_release);
        call->state.notify_one();
    }
}

// The event that wakes the GUI thread to run the queue: posted only by the
// call that finds the queue empty, so rarely more than one or two are on
// their way, and those come from a small pool instead of the heap.
class WakeEvent : public QEvent {
public:
    static const QEvent::Type kType;
    WakeEvent() : QEvent(kType) { made_.store(true, std::memory_order_release); }

    // Called by the GUI thread on receipt. Qt's queue already orders the
    // event's making before its delivery, but in a library the race detector
    // cannot see into; this pair says so where it can, so that a slot reused
    // by another thread is not taken for a race.
    void Received() const { (void)made_.load(std::memory_order_acquire); }

    static void* operator new(std::size_t size)
    {
        for (std::size_t i = 0; size <= sizeof(Slot) && i < kSlots; ++i) {
            if (!slotTaken_[i].exchange(true, std::memory_order_acquire))
                return &slots_[i];
        }
        return ::operator new(size);
    }
    static void operator delete(void* p)
    {
        for (std::size_t i = 0; i < kSlots; ++i) {
            if (p == &slots_[i]) {
                slotTaken_[i].store(false, std::memory_order_release);
                return;
            }
        }
        ::operator delete(p);
    }

private:
    std::atomic<bool> made_{false};

    static constexpr std::size_t kSlots = 4;
    struct Slot {
        alignas(std::max_align_t) unsigned char bytes[sizeof(QEvent) + 16];
    };
    static inline Slot slots_[kSlots];
    static inline std::atomic<bool> slotTaken_[kSlots];
};
const QEvent::Type WakeEvent::kType = static_cast<QEvent::Type>(QEvent::registerEventType());

// Lives on the GUI thread and runs the queue when woken.
class QueueRunner : public QObject {
public:
    using QObject::QObject;

protected:
    bool event(QEvent* event) override
    {
        if (event->type() != WakeEvent::kType)
            return QObject::event(event);
        static_cast<WakeEvent*>(event)->Received();
        RunQueuedCalls();
        return true;
    }
};

// Guarded so that a QApplication destroyed and made anew (tests) is noticed.
QPointer<QueueRunner> gRunner;

}  // namespace

void InitGuiCalls()
{
    if (!gRunner)
        gRunner = new QueueRunner(QCoreApplication::instance());
    gReleased = false;
}

bool OnGuiThread()
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return false;
    // Asked once per hand-off: each thread looks its answer up once per
    // application instead of asking Qt for its QThread every time.
    thread_local const QCoreApplication* answeredFor = nullptr;
    thread_local bool onGuiThread = false;
    if (answeredFor != app) {
        onGuiThread = QThread::currentThread() == app->thread();
        answeredFor = app;
    }
    return onGuiThread;
}

void StartOnGuiThread(GuiHandOff& handOff, void (*call)(void*), void* context)
{
    handOff.call = call;
    handOff.context = context;
    handOff.next = nullptr;
    if (gReleased) {
        handOff.state.store(CallReleased, std::memory_order_relaxed);
        return;
    }
    if (OnGuiThread()) {
        call(context);
        handOff.state.store(CallDone, std::memory_order_relaxed);
        return;
    }
    QueueRunner* runner = gRunner;
    if (!runner) {
        // No GUI thread to run it on: touching widgets here is unsafe.
        handOff.state.store(CallReleased, std::memory_order_relaxed);
        return;
    }
    handOff.state.store(CallPending, std::memory_order_relaxed);
    GuiHandOff* head = gQueue.load(std::memory_order_relaxed);
    do {
        handOff.next = head;
    } while (!gQueue.compare_exchange_weak(head, &handOff, std::memory_order_release, std::memory_order_relaxed));
    // Only the call that finds the queue empty wakes the GUI thread; the
    // others are taken with it.
    if (!head)
        QCoreApplication::postEvent(runner, new WakeEvent);
}

bool FinishOnGuiThread(GuiHandOff& handOff)
{
    // Once released, the GUI thread still takes the queue (and drops it) the
    // next time it looks, so no record is left behind on a stack that is gone.
    uint32_t state = handOff.state.load(std::memory_order_acquire);
    while (state == CallPending) {
        handOff.state.wait(CallPending, std::memory_order_acquire);
        state = handOff.state.load(std::memory_order_acquire);
    }
    return state == CallDone;
}

bool RunOnGuiThread(void (*call)(void*), void* context)
{
    GuiHandOff handOff;
    StartOnGuiThread(handOff, call, context);
    return FinishOnGuiThread(handOff);
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
