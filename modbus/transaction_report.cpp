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

void ReportException(const uint8_t* response, int count, uint32_t sendTime)
{
    program.badCount.fetch_add(1);
    AppendLogLine(FormatResponseLine(response, count), kRed);
    if (const char* text = ExceptionStatusText(response[8]))
        SetStatusField(StatusText, text);
    AppendElapsedLine(sendTime);
}

void ReportWrongLength(uint32_t sendTime)
{
    program.badCount.fetch_add(1);
    SetStatusField(StatusText, kStatusWrongLength);
    AppendElapsedLine(sendTime);
}

void AppendElapsedLine(uint32_t sendTime)
{
    AppendLogLine(FormatElapsedLine(ElapsedSince(sendTime)), kDarkGrey);
}
