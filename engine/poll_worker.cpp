#include "engine/poll_worker.h"

#include <array>

#include "common/colours.h"
#include "common/number_rule.h"
#include "common/table_numbers.h"
#include "engine/connection_control.h"
#include "engine/cycle_sampling.h"
#include "engine/data_tables.h"
#include "engine/message_log.h"
#include "engine/program_state.h"
#include "engine/transaction.h"
#include "engine/write_transaction.h"
#include "modbus/frames.h"
#include "modbus/log_format.h"
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

// One read of table; false when it found the link lost.
bool ReadTransaction(int table, const CycleSnapshot& s, uint8_t* buffer)
{
    uint8_t request[kRequestLength];
    const int length = BuildReadRequest(request, table, s.unit, s.startAddress, s.quantity, s.offsetOn);
    const Transaction t = RunTransaction(request, length, false, buffer);
    if (t.outcome.kind != OutcomeValid) {
        // The last value read is still shown, but no longer as current.
        MarkTableStale(table);
        return !ReportBadOutcome(t, buffer);
    }
    const uint32_t responseMs = CountValidReply(t);
    SetStatusField(StatusText, kStatusOk);
    // The values: after the function code and the byte count.
    const uint8_t* data = t.reply.pdu + 2;
    const int dataCount = t.reply.pduLength - 2;
    ShowReadValues(table, data, dataCount, s.quantity, s.selectors[0], s.selectors[1], s.selectors[2], s.selectors[3]);
    MarkTableFresh(table);
    // The answer's two lines, the cut and the scroll reach the log in one
    // hand-off to the GUI thread instead of four. The log's elapsed time
    // includes showing the values; the response time does not.
    RunOnGui([&] {
        AppendLogLine(FormatResponseLine(buffer, t.received), kBlack);
        AppendElapsedLine(t.sendTime);
        TrimLog();
        ScrollLogToEnd();
    });
    SampleValidRead(table, data, dataCount, responseMs);
    return true;
}

// No device answers unit 0 on an RTU line, so its reads are not sent: the
// cycle says so once, counts nothing (nothing went out), and leaves the
// tables grey. Its writes still go out, as broadcasts.
bool ReadsRefused(const CycleSnapshot& s)
{
    if (!program.link.framing.broadcastUnit0 || (s.unit & 0xFF) != 0)
        return false;
    bool anyShown = false;
    for (int t = TableDiscreteInputs; t <= TableHoldingRegisters; ++t) {
        if (s.selectors[t - 1] != FormatNoData) {
            anyShown = true;
            MarkTableStale(t);
        }
    }
    if (anyShown) {
        SetStatusField(StatusText, kStatusReadsRefused);
        AppendLogLine("Reads not sent: unit 0 is the broadcast address, which no device answers", kDarkGrey);
    }
    return true;
}

}  // namespace

void PollWorker()
{
    const CycleSnapshot snapshot = TakeSnapshot();
    std::array<uint8_t, kCycleBufferSize> buffer{};
    BeginSampling(snapshot.startAddress, snapshot.quantity, snapshot.selectors);

    // After a reconnect the cycle goes on with the transaction the link was
    // lost in; on a link that holds it always starts with the first read.
    const CycleResume resume = program.link.resume;
    program.link.resume = ResumeAtStart;
    const int firstTable = resume == ResumeAtStart ? static_cast<int>(TableDiscreteInputs) : static_cast<int>(resume);

    bool linkUp = true;
    const bool refused = ReadsRefused(snapshot);
    for (int t = firstTable; t <= TableHoldingRegisters && linkUp && !refused; ++t) {
        // Asked to disconnect: the transaction in progress has ended, the
        // rest of the cycle is not started.
        if (program.cycleStop.load())
            break;
        // A table not shown leaves the counters as they are.
        if (snapshot.selectors[t - 1] != FormatNoData) {
            linkUp = ReadTransaction(t, snapshot, buffer.data());
            RefreshCounterFields();
            if (!linkUp)
                program.link.resume = static_cast<CycleResume>(t);
        }
    }
    FinishSampledReads();
    if (linkUp && !(linkUp = SendPendingWrites(buffer.data())))
        program.link.resume = ResumeAtWrites;
    PublishCycleSample();
    if (!linkUp)
        ReportLinkLost();

    // Last: from here on the GUI thread may close or replace the connection.
    program.workerRunning.store(false);
}
