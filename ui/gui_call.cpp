#include "ui/gui_call.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QThread>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

// A thread's wake word: its caller sleeps on it while a call of its own is
// pending, and whoever lets one of that thread's calls go bumps it and wakes
// the thread. A word is never freed, because the bump may come after the
// caller has returned, even after its thread has ended. One given back at
// thread exit serves a later thread, which takes such a late bump for a
// spurious wake and looks at its own call again.
struct GuiWaker {
    std::atomic<uint32_t> word{0};
    GuiWaker* nextFree = nullptr;
};

namespace {

// A GuiHandOff's state; the record stays on its caller's stack until it
// leaves CallPending.
enum CallState : uint32_t { CallPending, CallDone, CallReleased };

// Why queued calls are not run; none while a GUI thread runs them.
enum : uint32_t { kReleased = 1, kNoGuiThread = 2 };

class QueueRunner;

// The hand-off itself, shared by every thread: atomics, and a lock for the
// free words only. File-local: nothing else may touch it but the
// operations of gui_call.h.
struct HandOffState {
    // Why queued calls are not run (kReleased, kNoGuiThread), or 0.
    std::atomic<uint32_t> closed{kNoGuiThread};
    // Calls waiting for the GUI thread, newest first. Callers push without
    // a lock; whoever takes them takes them all at once.
    std::atomic<GuiHandOff*> queue{nullptr};
    // Callers between pushing a call and waking the GUI thread for it. The
    // event loop is not taken down under them (CloseGuiCalls).
    std::atomic<int> waking{0};
    // Words of threads that have ended, for threads to come. The lock is
    // taken only at a thread's first hand-off and at its end.
    std::mutex wakersLock;
    GuiWaker* freeWakers = nullptr;
    // Counts the wake-up events made. Qt's queue orders an event's making
    // before its delivery, but inside a library the race detector does not
    // see; the receiver acquires this count before it reads the event,
    // which says so where the detector can see it.
    std::atomic<uint32_t> wakesMade{0};
    // Set and cleared on the GUI thread; read by callers only while closed
    // is clear and they are counted in waking.
    std::atomic<QueueRunner*> runner{nullptr};
};
HandOffState gHandOff;

// The calling thread's word, given back when the thread ends. Each thread
// owns its own.
struct ThreadWaker {
    GuiWaker* waker = nullptr;
    ~ThreadWaker()
    {
        if (!waker)
            return;
        std::lock_guard lock(gHandOff.wakersLock);
        waker->nextFree = gHandOff.freeWakers;
        gHandOff.freeWakers = waker;
    }
};
thread_local ThreadWaker tWaker;

GuiWaker* ThisThreadsWaker()
{
    if (!tWaker.waker) {
        std::lock_guard lock(gHandOff.wakersLock);
        if (gHandOff.freeWakers) {
            tWaker.waker = gHandOff.freeWakers;
            gHandOff.freeWakers = gHandOff.freeWakers->nextFree;
        } else {
            tWaker.waker = new GuiWaker;
        }
    }
    return tWaker.waker;
}

// Lets the caller of a taken call go. Once the state is published the
// caller may return and its record go with its stack, so everything needed
// from the record is read before; after it, only the caller's wake word is
// touched.
void LetGo(GuiHandOff* call, CallState state)
{
    GuiWaker* waker = call->waker;
    call->state.store(state, std::memory_order_release);
    waker->word.fetch_add(1, std::memory_order_release);
    waker->word.notify_all();
}

// Takes every queued call, oldest first.
GuiHandOff* TakeQueuedCalls()
{
    GuiHandOff* newestFirst = gHandOff.queue.exchange(nullptr);
    GuiHandOff* oldestFirst = nullptr;
    while (newestFirst) {
        GuiHandOff* next = newestFirst->next;
        newestFirst->next = oldestFirst;
        oldestFirst = newestFirst;
        newestFirst = next;
    }
    return oldestFirst;
}

// Lets every queued call go without running it. Any thread may, once calls
// are no longer run.
void DropQueuedCalls()
{
    GuiHandOff* call = TakeQueuedCalls();
    while (call) {
        GuiHandOff* next = call->next;
        LetGo(call, CallReleased);
        call = next;
    }
}

// GUI thread: runs (or, once closed, drops) every queued call in the order
// queued and lets each caller go.
void RunQueuedCalls()
{
    GuiHandOff* call = TakeQueuedCalls();
    while (call) {
        GuiHandOff* next = call->next;
        const bool run = gHandOff.closed.load() == 0;
        if (run)
            call->call(call->context);
        LetGo(call, run ? CallDone : CallReleased);
        call = next;
    }
}

const QEvent::Type kWakeType = static_cast<QEvent::Type>(QEvent::registerEventType());

void PostWake(QObject* runner)
{
    QEvent* wake = new QEvent(kWakeType);
    gHandOff.wakesMade.fetch_add(1, std::memory_order_release);
    QCoreApplication::postEvent(runner, wake);
}

// Lives on the GUI thread and runs the queue when woken.
class QueueRunner : public QObject {
protected:
    bool event(QEvent* event) override
    {
        (void)gHandOff.wakesMade.load(std::memory_order_acquire);
        if (event->type() != kWakeType)
            return QObject::event(event);
        RunQueuedCalls();
        return true;
    }
};

// Called as the application is destroyed, before its event loop goes: no
// call is run from now on.
void CloseGuiCalls()
{
    gHandOff.closed.fetch_or(kNoGuiThread);
    // A caller that pushed before it could see that may be posting its
    // wake-up now. A post never waits for this thread, so this is short.
    while (gHandOff.waking.load() != 0)
        std::this_thread::yield();
    DropQueuedCalls();
    delete gHandOff.runner.exchange(nullptr);
}

}  // namespace

void InitGuiCalls()
{
    if (!gHandOff.runner.load()) {
        gHandOff.runner.store(new QueueRunner);
        qAddPostRoutine(CloseGuiCalls);
    }
    gHandOff.closed.store(0);
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
    const uint32_t closed = gHandOff.closed.load();
    if (closed & kReleased) {
        handOff.state.store(CallReleased, std::memory_order_relaxed);
        return;
    }
    if (OnGuiThread()) {
        call(context);
        handOff.state.store(CallDone, std::memory_order_relaxed);
        return;
    }
    if (closed) {
        // No GUI thread to run it on: touching widgets here is unsafe.
        handOff.state.store(CallReleased, std::memory_order_relaxed);
        return;
    }
    handOff.waker = ThisThreadsWaker();
    handOff.state.store(CallPending, std::memory_order_relaxed);
    GuiHandOff* head = gHandOff.queue.load(std::memory_order_relaxed);
    do {
        handOff.next = head;
    } while (
        !gHandOff.queue.compare_exchange_weak(head, &handOff, std::memory_order_seq_cst, std::memory_order_relaxed));

    // Calls may have stopped being run since the look above. Then whoever
    // stopped them may already have dropped the queue, so the call is
    // dropped here; otherwise it is still queued when they drop it.
    gHandOff.waking.fetch_add(1);
    if (gHandOff.closed.load() != 0) {
        gHandOff.waking.fetch_sub(1);
        DropQueuedCalls();
        return;
    }
    // Only the call that finds the queue empty wakes the GUI thread; the
    // others are taken with it.
    if (!head)
        PostWake(gHandOff.runner.load());
    gHandOff.waking.fetch_sub(1);
}

bool FinishOnGuiThread(GuiHandOff& handOff)
{
    uint32_t state = handOff.state.load(std::memory_order_acquire);
    if (state != CallPending)
        return state == CallDone;
    // The word is read before the state, so a bump after that look ends the
    // wait at once.
    GuiWaker& waker = *handOff.waker;
    for (;;) {
        const uint32_t seen = waker.word.load(std::memory_order_acquire);
        state = handOff.state.load(std::memory_order_acquire);
        if (state != CallPending)
            return state == CallDone;
        waker.word.wait(seen, std::memory_order_acquire);
    }
}

bool RunOnGuiThread(void (*call)(void*), void* context)
{
    GuiHandOff handOff;
    StartOnGuiThread(handOff, call, context);
    return FinishOnGuiThread(handOff);
}

void ReleaseGuiCallers()
{
    gHandOff.closed.fetch_or(kReleased);
    DropQueuedCalls();
}

void ResetGuiCalls()
{
    gHandOff.closed.fetch_and(~uint32_t{kReleased});
}
