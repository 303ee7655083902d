#include "modbus/poll_worker.h"

#include <array>

#include "app/program_state.h"
#include "common/colours.h"
#include "common/number_rule.h"
#include "common/records.h"
#include "dataview/data_tables.h"
#include "modbus/frames.h"
#include "modbus/log_format.h"
#include "modbus/message_log.h"
#include "modbus/response_wait.h"
#include "modbus/transaction_report.h"
#include "modbus/write_transaction.h"
#include "ui/control_ids.h"
#include "ui/controls.h"
#include "ui/gui_call.h"

namespace {

// The request parameters of one cycle, read once at its start: edits made
// while it runs count from the next cycle on.
struct CycleSnapshot {
    int32_t unit = 0;
    int32_t startAddress = 0;
    int32_t quantity = 0;
    int selectors[4] = {};  // Discrete Inputs, Coils, Input Registers, Holding Registers
    bool offsetOn = false;
};

CycleSnapshot TakeSnapshot()
{
    CycleSnapshot s;
    // One trip to the GUI thread for all of it (the reads inside run there
    // directly). Shutting down, nothing is read and no table is polled.
    RunOnGui([&] {
        s.unit = TextToInt32(GetControlText(IdUnitField));
        s.startAddress = TextToInt32(GetControlText(IdStartField));
        s.quantity = TextToInt32(GetControlText(IdLengthField));
        for (int t = TableDiscreteInputs; t <= TableHoldingRegisters; ++t)
            s.selectors[t - 1] = GetSelectorIndex(SelectorOfTable(t));
        s.offsetOn = GetCheckState(IdOffsetCheck) != 0;
    });
    return s;
}

void ReadTransaction(int table, const CycleSnapshot& s, uint8_t* buffer)
{
    program.pollCount.fetch_add(1);
    const int length = BuildReadRequest(buffer, table, s.unit, s.startAddress, s.quantity, s.offsetOn);
    // Logged before it is sent, so the log shows what was attempted.
    AppendLogLine(FormatRequestLine(buffer, length), kBlue);

    ResponseWait wait = SendAndAwaitResponse(program.connection.load(), buffer, length, buffer, kCycleBufferSize);
    if (wait.outcome != WaitReceived) {
        ReportUnanswered(wait.outcome);
        return;
    }
    const ResponseKind kind = JudgeReadResponse(wait.received);
    if (kind != ResponseValid) {
        ReportInvalidResponse(kind, buffer, wait);
        return;
    }
    program.validCount.fetch_add(1);
    SetStatusField(StatusText, kStatusOk);
    ShowReadValues(table, buffer, wait.received, s.quantity, s.selectors[0], s.selectors[1], s.selectors[2],
                   s.selectors[3]);
    // The answer's two lines, the cut and the scroll reach the log in one
    // hand-off to the GUI thread instead of four.
    uint32_t elapsed = 0;
    RunOnGui([&] {
        AppendLogLine(FormatResponseLine(buffer, wait.received), kBlack);
        elapsed = AppendElapsedLine(wait.sendTime);
        TrimLog();
        ScrollLogToEnd();
    });
    RecordValidResponse(program.responseStats, elapsed);
}

}  // namespace

void PollWorker()
{
    const CycleSnapshot snapshot = TakeSnapshot();
    std::array<uint8_t, kCycleBufferSize> buffer{};

    for (int t = TableDiscreteInputs; t <= TableHoldingRegisters; ++t) {
        // Asked to disconnect: the transaction in progress has ended, the
        // rest of the cycle is not started.
        if (program.cycleStop.load())
            break;
        // A table not shown leaves the counters as they are.
        if (snapshot.selectors[t - 1] != FormatNoData) {
            ReadTransaction(t, snapshot, buffer.data());
            RefreshCounterFields();
        }
    }
    SendPendingWrites(buffer.data());

    // Last: from here on the GUI thread may close or replace the connection.
    program.workerRunning.store(false);
}
