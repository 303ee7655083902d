#include "engine/write_transaction.h"

#include <algorithm>

#include "common/colours.h"
#include "engine/cycle_sampling.h"
#include "engine/message_log.h"
#include "engine/program_state.h"
#include "engine/transaction_report.h"
#include "engine/wire_exchange.h"
#include "modbus/frames.h"
#include "modbus/log_format.h"
#include "modbus/response_wait.h"
#include "ui/control_ids.h"
#include "ui/controls.h"

bool SendPendingWrites(uint8_t* buffer)
{
    // After a disconnect is asked for, what is still queued waits for the
    // next connection.
    while (!program.cycleStop.load()) {
        std::optional<QueuedWrite> write = program.pendingWrites.TakeNext();
        if (!write)
            return true;
        if (!WriteTransaction(*write, buffer))
            return false;
    }
    return true;
}

bool WriteTransaction(const QueuedWrite& queued, uint8_t* buffer)
{
    // Never read or send past the frame, whatever the entry claims.
    PendingWrite write = queued.write;
    const int length = std::clamp<int>(write.Length, 0, static_cast<int>(write.Frame.size()));

    program.pollCount.fetch_add(1);
    // Built when it was typed; its id is given now, as it goes out.
    if (length >= kRequestLength)
        StampTransactionId(write.Frame.data(), NextTransactionId());
    uint8_t rtu[kWireRequestCapacity];
    int wireLength = 0;
    const uint8_t* wire = WireRequest(write.Frame.data(), length, rtu, &wireLength);
    AppendLogLine(FormatWriteRequestLine(wire, wireLength), kBlue);

    const WireExchange exchange = ExchangeOnWire(wire, wireLength, buffer, kResponseTimeoutMs);
    const ResponseWait& wait = exchange.wait;
    bool linkUp = true;
    if (AnsweredValid(wait) && wait.received == 0) {
        // A broadcast: sent, and carried out by the devices after the
        // turnaround; none answers, so there is no reply and no time to log.
        program.validCount.fetch_add(1);
        SetStatusField(StatusText, kStatusOk);
        AppendLogLine("POKE broadcast to unit 0: sent, no device answers", kDarkGrey);
    } else if (AnsweredValid(wait)) {
        const uint32_t responseMs = CountValidReply(wait);
        SetStatusField(StatusText, kStatusOk);
        AppendLogLine(FormatResponseLine(exchange.reply, wait.received), kBlack);
        AppendElapsedLine(wait.sendTime);
        SampleValidWrite(responseMs);
    } else if (SampleBadOutcome(wait, buffer); ReportBadOutcome(exchange, buffer)) {
        linkUp = false;
        if (!wait.sent) {
            // It never reached the server: the reconnect sends it.
            program.pendingWrites.PutBack(queued);
            AppendLogLine("POKE not sent: it stays queued until the connection is back", kDarkGrey);
        } else {
            // It may have been carried out; sending it again could do it twice.
            AppendLogLine("POKE sent, but the connection was lost before its answer: not sent again", kRed);
        }
    }
    RefreshCounterFields();
    return linkUp;
}
