// Calls handed to the GUI thread from other threads.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include <atomic>
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
    QCoreApplication::processEvents();  // the pooled wake-up event
    EXPECT_TRUE(RunOnGui([] {}));
}
