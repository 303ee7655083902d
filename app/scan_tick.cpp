#include "app/scan_tick.h"

#include <system_error>
#include <thread>

#include "app/program_state.h"
#include "connection/connection_control.h"
#include "modbus/poll_worker.h"

void ScanTick()
{
    // One worker at a time: a slow server lowers the poll rate instead of
    // piling up workers. The tick is not remembered.
    if (program.workerRunning.load())
        return;
    // The previous worker has ended; collect its thread.
    if (program.worker.joinable())
        program.worker.join();

    if (program.stopRequest) {
        FinishDeferredDisconnect();
        return;
    }
    if (!program.connection.load())
        return;  // a stray tick after the connection went

    static uint32_t lastWorkerNumber = 0;
    program.cycleStop.store(false);
    program.workerRunning.store(true);
    try {
        program.worker = std::thread(PollWorker);
        program.pollWorker = ++lastWorkerNumber;
    } catch (const std::system_error&) {
        // No thread this time; the next tick tries again.
        program.pollWorker = 0;
        program.workerRunning.store(false);
    }
}
