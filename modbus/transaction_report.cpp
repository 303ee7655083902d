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
}

void ReportInvalidResponse(ResponseKind kind, const uint8_t* buffer, const ResponseWait& wait)
{
    program.badCount.fetch_add(1);
    if (kind == ResponseException) {
        AppendLogLine(FormatResponseLine(buffer, wait.received), kRed);
        if (const char* text = ExceptionStatusText(buffer[8]))
            SetStatusField(StatusText, text);
    } else {
        SetStatusField(StatusText, kStatusWrongLength);
    }
    AppendElapsedLine(wait.sendTime);
}

void AppendElapsedLine(uint32_t sendTime)
{
    AppendLogLine(FormatElapsedLine(ElapsedSince(sendTime)), kDarkGrey);
}
