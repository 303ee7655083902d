#include "engine/transaction_report.h"

#include <string>

#include "common/colours.h"
#include "common/tick.h"
#include "dataview/value_types.h"
#include "engine/message_log.h"
#include "engine/program_state.h"
#include "engine/wire_exchange.h"
#include "modbus/frames.h"
#include "modbus/log_format.h"
#include "modbus/response_stats.h"
#include "ui/control_ids.h"
#include "ui/controls.h"

namespace {

// A flood of frames that are not the reply (a confused gateway, a second
// master on the line) costs the GUI thread this many lines a transaction,
// and one more that counts the rest.
constexpr int kIgnoredLinesPerTransaction = 3;

// What the transaction in progress ignored. Worker only; file-local: only
// LogIgnoredBytes and EndIgnoredBytes touch it.
struct IgnoredTally {
    int lines = 0;
    int64_t pieces = 0;  // beyond the lines logged
    int64_t bytes = 0;
};
IgnoredTally gIgnored;

const char* LossText(LinkLoss loss)
{
    if (program.linkTransport == TransportRtuSerial) {
        switch (loss) {
        case LossClosed:
            return "Serial port lost: the device hung up";
        case LossReset:
            return "Serial port lost: the adapter was unplugged or failed";
        case LossSendTimedOut:
            return "Serial port lost: the line took no byte of the request within the time-out";
        default:
            return "Serial port lost: the request could not be written";
        }
    }
    switch (loss) {
    case LossClosed:
        return "Connection lost: the server closed it";
    case LossReset:
        return "Connection lost: reset";
    case LossSendTimedOut:
        return "Connection lost: the server took no byte of the request within the time-out";
    case LossSilent:
        return "Connection lost: no sign of the server for 10 s";
    default:
        return "Connection lost: the request could not be sent";
    }
}

// A write the device refused is not tried again, and its status is gone
// with the next read: a note that stays until the user acts tells of it.
void NoteRefusedWrite(int function, uint8_t code)
{
    const char* name = WriteFunctionName(function);
    if (!*name)
        return;
    const char* meaning = ExceptionName(code);
    ShowStatusNotice(StatusText, std::string("Write refused (") + name + "): exception " + std::to_string(code) +
                                     (*meaning ? std::string(", ") + meaning : std::string()) + ".");
}

// A serial port opens whether or not a device is wired to it: after the
// first requests of a connection went unanswered, without a byte, with
// nothing else since the connect (or the clear), say so once.
constexpr uint64_t kSilentRequests = 3;

void NoteSilentPort()
{
    if (program.linkTransport != TransportRtuSerial || program.session.silenceTold)
        return;
    const ResponseSummary summary = SummariseResponseStats(program.responseStats);
    if (summary.valid != 0 || summary.bad() != summary.timeouts || summary.timeouts < kSilentRequests)
        return;
    program.session.silenceTold = true;
    const std::string what = "Nothing answers on " + program.linkSerial.port + ": no reply to " +
                             std::to_string(summary.timeouts) + " requests.";
    const std::string ask = "Is a device wired to this port, with this unit id, baud rate, parity and stop bits?";
    AppendLogLine(what + " " + ask, kRed);
    ShowStatusNotice(StatusText, what + "\n" + ask);
}

}  // namespace

bool AnsweredValid(const ResponseWait& wait)
{
    return wait.outcome == WaitAnswered && wait.judgement.verdict == ReplyValid;
}

uint32_t CountValidReply(const ResponseWait& wait)
{
    program.validCount.fetch_add(1);
    program.session.answered.store(true);
    const uint32_t ms = ResponseMs(wait);
    RecordValidResponse(program.responseStats, ms);
    return ms;
}

bool ReportBadOutcome(const WireExchange& exchange, const uint8_t* buffer)
{
    const ResponseWait& wait = exchange.wait;
    program.badCount.fetch_add(1);
    switch (wait.outcome) {
    case WaitAnswered:
        AppendLogLine(FormatResponseLine(exchange.reply, wait.received), kRed);
        if (wait.judgement.verdict == ReplyException) {
            RecordBadResponse(program.responseStats, BadException, buffer[8]);
            if (const char* text = ExceptionStatusText(buffer[8]))
                SetStatusField(StatusText, text);
            NoteRefusedWrite(buffer[7] & 0x7F, buffer[8]);
        } else {
            RecordBadResponse(program.responseStats, wait.judgement.fault == FaultCrc ? BadCrc : BadInvalid);
            SetStatusField(StatusText, std::string(kStatusInvalid) + " (" + ReplyFaultText(wait.judgement.fault) + ")");
        }
        AppendElapsedLine(wait.sendTime);
        return false;
    case WaitTimedOut:
        if (wait.received > 0) {
            // Part of a reply: its bytes are not logged.
            RecordBadResponse(program.responseStats, BadWrongLength);
            SetStatusField(StatusText, kStatusWrongLength);
            AppendElapsedLine(wait.sendTime);
        } else {
            RecordBadResponse(program.responseStats, BadTimeout);
            SetStatusField(StatusText, kStatusTimeout);
            NoteSilentPort();
        }
        return false;
    case WaitSendFailed:
    case WaitLinkLost:
        break;
    }
    RecordBadResponse(program.responseStats, BadLinkLost);
    SetStatusField(StatusText, kStatusLinkLost);
    // A request only partly sent leaves the server out of step with us.
    AppendLogLine(wait.outcome == WaitSendFailed ? "Connection lost: the request was only partly sent"
                                                 : LossText(wait.loss),
                  kRed);
    return true;
}

void AppendElapsedLine(uint32_t sendTime)
{
    AppendLogLine(FormatElapsedLine(ElapsedSince(sendTime)), kDarkGrey);
}

void LogIgnoredBytes(const uint8_t* bytes, int count)
{
    if (gIgnored.lines < kIgnoredLinesPerTransaction) {
        gIgnored.lines++;
        AppendLogLine(FormatIgnoredLine(bytes, count), kDarkGrey);
        return;
    }
    gIgnored.pieces++;
    gIgnored.bytes += count;
}

void EndIgnoredBytes()
{
    if (gIgnored.pieces > 0)
        AppendLogLine(FormatIgnoredSummaryLine(gIgnored.pieces, gIgnored.bytes), kDarkGrey);
    gIgnored = {};
}
