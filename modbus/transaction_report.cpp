#include "modbus/transaction_report.h"

#include "app/program_state.h"
#include "common/colours.h"
#include "common/tick.h"
#include "modbus/frames.h"
#include "modbus/log_format.h"
#include "modbus/message_log.h"
#include "ui/control_ids.h"
#include "ui/controls.h"

void ReportUnanswered(WaitOutcome outcome)
{
    SetStatusField(StatusText, outcome == WaitTimedOut ? kStatusTimeout : kStatusTransmission);
    program.badCount.fetch_add(1);
    RecordBadResponse(program.responseStats, outcome == WaitTimedOut ? BadTimeout : BadTransmission);
}

void ReportInvalidResponse(ResponseKind kind, const uint8_t* buffer, const ResponseWait& wait)
{
    program.badCount.fetch_add(1);
    if (kind == ResponseException) {
        RecordBadResponse(program.responseStats, BadException, buffer[8]);
        AppendLogLine(FormatResponseLine(buffer, wait.received), kRed);
        if (const char* text = ExceptionStatusText(buffer[8]))
            SetStatusField(StatusText, text);
    } else {
        RecordBadResponse(program.responseStats, BadWrongLength);
        SetStatusField(StatusText, kStatusWrongLength);
    }
    AppendElapsedLine(wait.sendTime);
}

uint32_t AppendElapsedLine(uint32_t sendTime)
{
    const uint32_t elapsed = ElapsedSince(sendTime);
    AppendLogLine(FormatElapsedLine(elapsed), kDarkGrey);
    return elapsed;
}
