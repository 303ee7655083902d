#include "engine/scan_tick.h"

#include <system_error>
#include <thread>

#include "engine/connection_control.h"
#include "engine/poll_worker.h"
#include "engine/program_state.h"

namespace {

// Body of the worker thread: sleeps until main asks for a cycle, runs it.
void PollThread()
{
    uint32_t served = 0;
    for (;;) {
        program.cycleNumber.wait(served);
        served = program.cycleNumber.load();
        PollWorker();
    }
}

// The worker thread, started once and never ended: the process ends
// around it. Main only.
bool StartPollThread()
{
    static bool started = false;
    if (!started) {
        try {
            std::thread(PollThread).detach();
            started = true;
        } catch (const std::system_error&) {
            // No thread this time; the next tick tries again.
        }
    }
    return started;
}

}  // namespace

void ScanTick()
{
    // One cycle at a time: a slow server lowers the poll rate instead of
    // piling up cycles. The tick is not remembered.
    if (program.workerRunning.load())
        return;

    if (program.stopRequest) {
        FinishDeferredDisconnect();
        return;
    }
    // The link timer takes over a lost link.
    if (program.link.lost.load())
        return;
    // Closed after the last cycle: the cycle starts once it is open again.
    if (ReopenForCycle())
        return;
    if (!program.link.connection.load())
        return;  // a stray tick after the connection went, or while it is down

    // Device settings changed while connected are in force from this cycle.
    program.link.device = program.deviceSettings;

    if (!StartPollThread())
        return;
    program.cycleStop.store(false);
    program.workerRunning.store(true);
    program.cycleNumber.fetch_add(1);
    program.cycleNumber.notify_one();
}
