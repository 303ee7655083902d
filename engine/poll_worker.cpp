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
#include "engine/transaction_report.h"
#include "engine/wire_exchange.h"
#include "engine/write_transaction.h"
#include "modbus/frames.h"
#include "modbus/log_format.h"
#include "modbus/response_wait.h"
#include "modbus/rtu_frames.h"
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
    program.pollCount.fetch_add(1);
    uint8_t request[kRequestLength];
    const int length = BuildReadRequest(request, table, s.unit, s.startAddress, s.quantity, s.offsetOn);
    StampTransactionId(request, NextTransactionId());
    uint8_t rtu[kWireRequestCapacity];
    int wireLength = 0;
    const uint8_t* wire = WireRequest(request, length, rtu, &wireLength);
    // Logged before it is sent, so the log shows what was attempted.
    AppendLogLine(FormatRequestLine(wire, wireLength), kBlue);

    const WireExchange exchange = ExchangeOnWire(wire, wireLength, buffer, kResponseTimeoutMs);
    const ResponseWait& wait = exchange.wait;
    if (!AnsweredValid(wait)) {
        // The last value read is still shown, but no longer as current.
        MarkTableStale(table);
        SampleBadOutcome(wait, buffer);
        return !ReportBadOutcome(exchange, buffer);
    }
    const uint32_t responseMs = CountValidReply(wait);
    SetStatusField(StatusText, kStatusOk);
    ShowReadValues(table, buffer, exchange.dataEnd, s.quantity, s.selectors[0], s.selectors[1], s.selectors[2],
                   s.selectors[3]);
    MarkTableFresh(table);
    // The answer's two lines, the cut and the scroll reach the log in one
    // hand-off to the GUI thread instead of four. The log's elapsed time
    // includes showing the values; the response time does not.
    RunOnGui([&] {
        AppendLogLine(FormatResponseLine(exchange.reply, wait.received), kBlack);
        AppendElapsedLine(wait.sendTime);
        TrimLog();
        ScrollLogToEnd();
    });
    SampleValidRead(table, buffer, exchange.dataEnd, responseMs);
    return true;
}

// No device answers unit 0 on an RTU line, so its reads are not sent: the
// cycle says so once, counts nothing (nothing went out), and leaves the
// tables grey. Its writes still go out, as broadcasts.
bool ReadsRefused(const CycleSnapshot& s)
{
    if (!RtuSession() || (s.unit & 0xFF) != kRtuBroadcastUnit)
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
    const CycleResume resume = program.session.resume;
    program.session.resume = ResumeAtStart;
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
                program.session.resume = static_cast<CycleResume>(t);
        }
    }
    FinishSampledReads();
    if (linkUp && !(linkUp = SendPendingWrites(buffer.data())))
        program.session.resume = ResumeAtWrites;
    PublishCycleSample();
    if (!linkUp)
        ReportLinkLost();

    // Last: from here on the GUI thread may close or replace the connection.
    program.workerRunning.store(false);
}
