#include "ui/gui_call.h"

#include <QCoreApplication>
#include <QObject>
#include <QPointer>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace {

// Lives on the GUI thread; posted calls run in its thread's event loop.
// Guarded so that a QApplication destroyed and made anew (tests) is noticed.
QPointer<QObject> gGuiObject;

std::mutex gMutex;
std::condition_variable gApplied;
std::atomic<bool> gReleased{false};

struct PostedCall {
    std::function<void()> fn;
    bool done = false;  // guarded by gMutex
};

} // namespace

void InitGuiCalls()
{
    if (!gGuiObject)
        gGuiObject = new QObject(QCoreApplication::instance());
    gReleased = false;
}

bool OnGuiThread()
{
    return QCoreApplication::instance() &&
           QThread::currentThread() == QCoreApplication::instance()->thread();
}

bool RunOnGui(const std::function<void()>& fn)
{
    if (gReleased)
        return false;
    if (OnGuiThread()) {
        fn();
        return true;
    }
    if (!gGuiObject)
        return false;  // no GUI thread to run it on: touching widgets here is unsafe

    auto call = std::make_shared<PostedCall>();
    call->fn = fn;
    // Events posted from one thread are delivered in the order posted.
    QMetaObject::invokeMethod(
        gGuiObject,
        [call] {
            if (!gReleased)
                call->fn();
            std::lock_guard<std::mutex> lock(gMutex);
            call->done = true;
            gApplied.notify_all();
        },
        Qt::QueuedConnection);

    std::unique_lock<std::mutex> lock(gMutex);
    gApplied.wait(lock, [&] { return call->done || gReleased.load(); });
    return call->done;
}

void ReleaseGuiCallers()
{
    std::lock_guard<std::mutex> lock(gMutex);
    gReleased = true;
    gApplied.notify_all();
}

void ResetGuiCalls()
{
    gReleased = false;
}
