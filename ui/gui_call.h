// Running control operations on the GUI thread from any thread.
//
// Called on the GUI thread, an operation runs at once (a blocking queued call
// from the GUI thread to itself would deadlock). Called from another thread
// (the poll worker), it is handed to the GUI thread and the caller waits
// until it has been applied, so updates land in the order issued. The GUI
// thread never waits for the worker. At shutdown, ReleaseGuiCallers lets a
// waiting worker go at once and makes later calls return without effect,
// including one handed over while it runs.
//
// The operation stays on the waiting caller's stack, queued without a lock,
// and the caller sleeps on its thread's wake word until it is done. That
// word lives as long as the process, so letting the caller go never touches
// anything that went with it.
#pragma once

#include <atomic>
#include <cstdint>
#include <type_traits>
#include <utility>

// Binds the layer to the current (GUI) thread. Call once after QApplication.
void InitGuiCalls();

bool OnGuiThread();

// Runs call(context) on the GUI thread, waiting for it when called from
// another thread. Returns false when it was not run because the program is
// shutting down (or there is no GUI thread).
bool RunOnGuiThread(void (*call)(void*), void* context);

// A call handed to the GUI thread by a caller that goes on and collects it
// later: a worker can pause while the GUI thread applies its last update and
// still never have two updates on their way. The record, and whatever the
// call reads, must stay alive until FinishOnGuiThread has returned, which is
// called on the thread that started it.
struct GuiWaker;
struct GuiHandOff {
    void (*call)(void*) = nullptr;
    void* context = nullptr;
    GuiHandOff* next = nullptr;
    GuiWaker* waker = nullptr;
    std::atomic<uint32_t> state{0};
};

// Hands call(context) over (runs it at once on the GUI thread).
void StartOnGuiThread(GuiHandOff& handOff, void (*call)(void*), void* context);
// Waits until the call handed over has been applied. Returns false when it
// was not run because the program is shutting down (or there is no GUI
// thread).
bool FinishOnGuiThread(GuiHandOff& handOff);

// Runs fn on the GUI thread, waiting for it when called from another thread.
// Returns false when fn was not run because the program is shutting down.
template <class Fn>
bool RunOnGui(Fn&& fn)
{
    using Callable = std::remove_reference_t<Fn>;
    return RunOnGuiThread([](void* f) { (*static_cast<Callable*>(f))(); },
                          const_cast<void*>(static_cast<const void*>(std::addressof(fn))));
}

// Like RunOnGui, for an operation with a result; fallback when not run.
template <class T, class Fn>
T CallOnGui(Fn&& fn, T fallback)
{
    T result = fallback;
    if (!RunOnGui([&] { result = fn(); }))
        return fallback;
    return result;
}

// Shutdown: waiting callers return at once, later calls do nothing.
void ReleaseGuiCallers();

// Undoes ReleaseGuiCallers (tests that build a second window in one process).
void ResetGuiCalls();
