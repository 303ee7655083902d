#include "engine/write_transaction.h"

#include <algorithm>

#include "common/colours.h"
#include "engine/cycle_sampling.h"
#include "engine/message_log.h"
#include "engine/program_state.h"
#include "engine/transaction.h"
#include "modbus/frames.h"
#include "modbus/log_format.h"
#include "ui/control_ids.h"
#include "ui/controls.h"

bool SendPendingWrites(uint8_t* buffer)
{
    // After a disconnect is asked for, what is still queued waits for the
    // next connection.
    while (program.link.pendingWrites.Size() > 0) {
        // Paced like the reads; a stop asked for meanwhile leaves it queued.
        if (!ReadyForRequest())
            return true;
        std::optional<QueuedWrite> write = program.link.pendingWrites.TakeNext();
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
    const PendingWrite& write = queued.write;
    const int length = std::clamp<int>(write.length, 0, static_cast<int>(write.frame.size()));
    // Built when it was typed; its id is given now, as it goes out.
    const Transaction t = RunTransaction(write.frame.data(), length, true, buffer);
    bool linkUp = true;
    if (t.outcome.kind == OutcomeBroadcast) {
        // Sent, and carried out by the devices after the turnaround; none
        // answers, so there is no reply and no time to log.
        program.validCount.fetch_add(1);
        SetStatusField(StatusText, kStatusOk);
        AppendLogLine("POKE broadcast to unit 0: sent, no device answers", kDarkGrey);
    } else if (t.outcome.kind == OutcomeValid) {
        const uint32_t responseMs = CountValidReply(t);
        SetStatusField(StatusText, kStatusOk);
        AppendLogLine(FormatResponseLine(buffer, t.received), kBlack);
        AppendElapsedLine(t.sendTime);
        SampleResponseTime(responseMs);
    } else if (ReportBadOutcome(t, buffer)) {
        linkUp = false;
        if (!t.sent) {
            // It never reached the server: the reconnect sends it.
            program.link.pendingWrites.PutBack(queued);
            AppendLogLine("POKE not sent: it stays queued until the connection is back", kDarkGrey);
        } else {
            // It may have been carried out; sending it again could do it twice.
            AppendLogLine("POKE sent, but the connection was lost before its answer: not sent again", kRed);
        }
    }
    RefreshCounterFields();
    return linkUp;
}
