#include "modbus/write_transaction.h"

#include <algorithm>

#include "app/program_state.h"
#include "common/colours.h"
#include "modbus/frames.h"
#include "modbus/log_format.h"
#include "modbus/message_log.h"
#include "modbus/response_wait.h"
#include "modbus/transaction_report.h"
#include "ui/control_ids.h"
#include "ui/controls.h"

void SendPendingWrites(uint8_t* buffer)
{
    // After a disconnect is asked for, what is still queued waits for the
    // next connection.
    while (!program.cycleStop.load()) {
        std::optional<PendingWrite> write = program.pendingWrites.TakeNewest();
        if (!write)
            return;
        WriteTransaction(*write, buffer);
    }
}

void WriteTransaction(const PendingWrite& write, uint8_t* buffer)
{
    // Never read or send past the frame, whatever the entry claims.
    const int length = std::clamp<int>(write.Length, 0, static_cast<int>(write.Frame.size()));

    program.pollCount.fetch_add(1);
    AppendLogLine(FormatWriteRequestLine(write.Frame.data(), length), kBlue);

    ResponseWait wait =
        SendAndAwaitResponse(program.connection.load(), write.Frame.data(), length, buffer, kCycleBufferSize);
    if (wait.outcome != WaitReceived) {
        ReportUnanswered(wait.outcome);
    } else if (ResponseKind kind = JudgeWriteResponse(wait.received, length); kind != ResponseValid) {
        ReportInvalidResponse(kind, buffer, wait);
    } else {
        // The echo is not compared with the request.
        program.validCount.fetch_add(1);
        SetStatusField(StatusText, kStatusOk);
        AppendLogLine(FormatResponseLine(buffer, wait.received), kBlack);
        RecordValidResponse(program.responseStats, AppendElapsedLine(wait.sendTime));
    }
    RefreshCounterFields();
}
