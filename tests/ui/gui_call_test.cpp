// Calls handed to the GUI thread from other threads.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "tests/ui/test_window.h"
#include "ui/gui_call.h"

TEST(GuiCall, CallsFromSeveralThreadsRunOnTheGuiThreadEachInOrder)
{
    // Each caller waits for its own call, so the queue holds at most one
    // call of each thread; their calls interleave but never reorder.
    constexpr int kThreads = 3, kCalls = 400;
    std::vector<int> seen;
    std::atomic<int> finished{0};
    std::vector<std::thread> callers;
    for (int t = 0; t < kThreads; ++t) {
        callers.emplace_back([&, t] {
            for (int i = 0; i < kCalls; ++i) {
                auto call = [&] {
                    EXPECT_TRUE(OnGuiThread());
                    seen.push_back(t * kCalls + i);
                };
                if (t > 0) {
                    EXPECT_TRUE(RunOnGui(call));
                    continue;
                }
                // A hand-off collected later, as the table fill does.
                GuiHandOff handOff;
                StartOnGuiThread(
                    handOff, [](void* c) { (*static_cast<decltype(call)*>(c))(); }, &call);
                std::this_thread::yield();
                EXPECT_TRUE(FinishOnGuiThread(handOff));
            }
            finished++;
        });
    }
    EXPECT_TRUE(PumpUntil([&] { return finished.load() == kThreads; }));
    for (std::thread& c : callers)
        c.join();
    ASSERT_EQ(seen.size(), size_t{kThreads * kCalls});
    std::vector<int> next(kThreads, 0);
    for (int v : seen)
        EXPECT_EQ(v % kCalls, next[v / kCalls]++);
}

TEST(GuiCall, ReleasingLetsAWaitingCallerGoWithoutRunningItsCall)
{
    std::atomic<bool> returned{false}, ran{false}, result{true};
    std::thread caller([&] {
        result = RunOnGui([&] { ran = true; });
        returned = true;
    });
    // The GUI thread does not take the call; shutdown lets it go.
    while (!returned.load()) {
        ReleaseGuiCallers();
        std::this_thread::yield();
    }
    caller.join();
    EXPECT_FALSE(ran.load());
    EXPECT_FALSE(result.load());
    EXPECT_FALSE(RunOnGui([] {}));
    ResetGuiCalls();
    QCoreApplication::processEvents();  // the wake-up event
    EXPECT_TRUE(RunOnGui([] {}));
}

TEST(GuiCall, CallsHandedOverWhileReleasingAllReturnInOrderWithoutTheGuiThread)
{
    // Shutdown: the GUI thread releases the callers and runs no more events
    // while several threads go on handing calls over, a batch at a time.
    // Each call must return, whether it was queued before the release or
    // during it, and a thread's calls run in order: once one was dropped, no
    // later one runs.
    constexpr int kThreads = 4, kBatch = 64, kRounds = 200;
    struct Call {
        GuiHandOff handOff;
        bool ran = false;
    };
    for (int round = 0; round < kRounds; ++round) {
        std::atomic<int> batches{0}, finished{0}, faults{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&] {
                std::vector<Call> batch(kBatch);
                for (bool dropped = false; !dropped; batches++) {
                    for (Call& c : batch) {
                        c.ran = false;
                        StartOnGuiThread(
                            c.handOff, [](void* p) { static_cast<Call*>(p)->ran = true; }, &c);
                    }
                    for (Call& c : batch) {
                        const bool applied = FinishOnGuiThread(c.handOff);
                        if (applied != c.ran || (applied && dropped))
                            faults++;
                        dropped = dropped || !applied;
                    }
                }
                finished++;
            });
        }
        while (batches.load() < 2 * kThreads)
            QCoreApplication::processEvents();
        ReleaseGuiCallers();
        // No more events, as when the event loop has ended.
        for (int i = 0; i < 10000 && finished.load() < kThreads; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const bool allReturned = finished.load() == kThreads;
        EXPECT_TRUE(allReturned) << "round " << round << ": a caller still waits after the release";
        if (!allReturned)
            PumpUntil([&] { return finished.load() == kThreads; });
        for (std::thread& t : threads)
            t.join();
        EXPECT_EQ(faults.load(), 0);
        ResetGuiCalls();
        QCoreApplication::processEvents();
        if (HasFailure())
            return;
    }
}
