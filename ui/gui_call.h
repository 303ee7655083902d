// Running control operations on the GUI thread from any thread.
//
// Called on the GUI thread, an operation runs at once (a blocking queued call
// from the GUI thread to itself would deadlock). Called from another thread
// (the poll worker), it is posted to the GUI thread and the caller waits
// until it has been applied, so updates land in the order issued. The GUI
// thread never waits for the worker. At shutdown, ReleaseGuiCallers lets a
// waiting worker go at once and makes later calls return without effect.
#pragma once

#include <functional>
#include <memory>

class QObject;

// Binds the layer to the current (GUI) thread. Call once after QApplication.
void InitGuiCalls();

bool OnGuiThread();

// Runs fn on the GUI thread, waiting for it when called from another thread.
// Returns false when fn was not run because the program is shutting down.
bool RunOnGui(const std::function<void()>& fn);

// Like RunOnGui, for an operation with a result; fallback when not run.
template <class T>
T CallOnGui(const std::function<T()>& fn, T fallback)
{
    auto result = std::make_shared<T>(fallback);
    if (!RunOnGui([fn, result] { *result = fn(); }))
        return fallback;
    return *result;
}

// Shutdown: waiting callers return at once, later calls do nothing.
void ReleaseGuiCallers();

// Undoes ReleaseGuiCallers (tests that build a second window in one process).
void ResetGuiCalls();
