// Window timers tick through the handler until stopped.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include "ui/window_handlers.h"
#include "ui/window_timer.h"

namespace {

constexpr int kTimer = 7;
int gTicks = 0;

void CountTicksStopAtThree(int id)
{
    if (id != kTimer)
        return;
    if (++gTicks == 3)
        StopWindowTimer(kTimer);
}

}  // namespace

TEST(WindowTimer, TicksUntilStoppedFromItsOwnTickAndRestartsAtANewInterval)
{
    gTicks = 0;
    SetTimerEventHandler(CountTicksStopAtThree);
    StartWindowTimer(kTimer, 1);
    EXPECT_EQ(WindowTimerInterval(kTimer), kMinTimerInterval);
    StartWindowTimer(kTimer, 15);
    EXPECT_EQ(WindowTimerInterval(kTimer), 15);

    QElapsedTimer waited;
    waited.start();
    while (gTicks < 3 && waited.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_EQ(gTicks, 3);
    EXPECT_FALSE(IsWindowTimerActive(kTimer));

    // Stopped means stopped, and the timer's remains go without a stray tick.
    waited.restart();
    while (waited.elapsed() < 100)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    EXPECT_EQ(gTicks, 3);
    SetTimerEventHandler(nullptr);
}
