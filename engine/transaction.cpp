#include "engine/transaction.h"

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

#include "common/colours.h"
#include "common/tick.h"
#include "dataview/value_types.h"
#include "engine/cycle_sampling.h"
#include "engine/message_log.h"
#include "engine/program_state.h"
#include "modbus/frames.h"
#include "modbus/log_format.h"
#include "modbus/reply_judge.h"
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

// Logs bytes read but not taken as a reply ("IGNORED <-: ..."), dark grey:
// the first few pieces of a transaction one by one, the rest counted...
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

// ...and told in one line when the transaction is over.
void EndIgnoredBytes()
{
    if (gIgnored.pieces > 0)
        AppendLogLine(FormatIgnoredSummaryLine(gIgnored.pieces, gIgnored.bytes), kDarkGrey);
    gIgnored = {};
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
    Link& link = program.link;
    if (link.target.transport != TransportRtuSerial || link.silenceTold)
        return;
    const ResponseSummary summary = SummariseResponseStats(program.responseStats);
    if (summary.valid != 0 || summary.bad() != summary.timeouts || summary.timeouts < kSilentRequests)
        return;
    link.silenceTold = true;
    const std::string what =
        "Nothing answers on " + link.line.port + ": no reply to " + std::to_string(summary.timeouts) + " requests.";
    const std::string ask = "Is a device wired to this port, with this unit id, baud rate, parity and stop bits?";
    AppendLogLine(what + " " + ask, kRed);
    ShowStatusNotice(StatusText, what + "\n" + ask);
}

const char* LossText(LinkLoss loss)
{
    // A request only partly sent leaves the server out of step with us.
    if (loss == LossPartlySent)
        return "Connection lost: the request was only partly sent";
    if (program.link.target.transport == TransportRtuSerial) {
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

// A gateway that answers as another unit id is otherwise a riddle: every
// reply refused, while the device did act on the writes.
void NoteUnitHint(const Transaction& transaction)
{
    Link& link = program.link;
    if (!transaction.unitOnly || link.unitHintTold)
        return;
    link.unitHintTold = true;
    const std::string unit = std::to_string(transaction.reply.unit);
    AppendLogLine("Wrong unit id: the device answers as unit " + unit + ": set Modbus Unit Id to " + unit +
                      " or accept any unit id in Device settings",
                  kRed);
}

// Sleeps in short steps until ms have passed since the tick since; false as
// soon as the cycle is asked to stop.
bool PauseUntilPassed(uint32_t ms, uint32_t since)
{
    constexpr uint32_t kStepMs = 20;
    for (;;) {
        if (program.cycleStop.load())
            return false;
        const uint32_t left = WaitLeftMs(ms, since);
        if (left == 0)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(kStepMs, left)));
    }
}

}  // namespace

bool ReadyForRequest()
{
    Link& link = program.link;
    if (program.cycleStop.load())
        return false;
    if (link.connectDelayDue && !PauseUntilPassed(link.device.connectDelayMs, link.connectedAt))
        return false;
    if (link.transactionEnded && !PauseUntilPassed(link.device.requestGapMs, link.lastTransactionEnd))
        return false;
    link.connectDelayDue = false;
    return true;
}

Transaction RunTransaction(const uint8_t* request, int length, bool write, uint8_t* buffer)
{
    program.pollCount.fetch_add(1);
    Link& link = program.link;
    uint8_t wire[kMaxFrameLength];
    const int wireLength = FrameRequest(link.framing, request, length, link.nextTransactionId++, wire);
    // Logged before it is sent, so the log shows what was attempted.
    AppendLogLine(write ? FormatWriteRequestLine(wire, wireLength) : FormatRequestLine(wire, wireLength), kBlue);
    const Transaction transaction =
        Transact({link.connection.load(), link.framing, link.timing, link.device.anyUnitId}, wire, wireLength, buffer,
                 kCycleBufferSize, LogIgnoredBytes, link.device.timeoutMs);
    link.transactionEnded = true;
    link.lastTransactionEnd = MillisecondTick();
    EndIgnoredBytes();
    return transaction;
}

uint32_t CountValidReply(const Transaction& transaction)
{
    program.validCount.fetch_add(1);
    program.link.answered.store(true);
    const uint32_t ms = ResponseMs(transaction);
    RecordValidResponse(program.responseStats, ms);
    return ms;
}

bool ReportBadOutcome(const Transaction& transaction, const uint8_t* buffer)
{
    const Outcome& outcome = transaction.outcome;
    switch (outcome.kind) {
    case OutcomeValid:
    case OutcomeBroadcast:
    case OutcomeRefused:
        return false;  // not bad: nothing to count
    default:
        break;
    }
    program.badCount.fetch_add(1);
    RecordBadResponse(program.responseStats, outcome);
    SampleBadOutcome(outcome);
    switch (outcome.kind) {
    case OutcomeException:
        AppendLogLine(FormatResponseLine(buffer, transaction.received), kRed);
        if (const char* text = ExceptionStatusText(outcome.exceptionCode))
            SetStatusField(StatusText, text);
        NoteRefusedWrite(transaction.reply.pdu[0] & 0x7F, outcome.exceptionCode);
        AppendElapsedLine(transaction.sendTime);
        return false;
    case OutcomeInvalid:
        AppendLogLine(FormatResponseLine(buffer, transaction.received), kRed);
        SetStatusField(StatusText, std::string(kStatusInvalid) + " (" + ReplyFaultText(outcome.fault) + ")");
        NoteUnitHint(transaction);
        AppendElapsedLine(transaction.sendTime);
        return false;
    case OutcomeIncomplete:
        // Part of a reply: its bytes are not logged.
        SetStatusField(StatusText, kStatusWrongLength);
        AppendElapsedLine(transaction.sendTime);
        return false;
    case OutcomeTimeout:
        SetStatusField(StatusText, kStatusTimeout);
        NoteSilentPort();
        return false;
    default:
        break;
    }
    SetStatusField(StatusText, kStatusLinkLost);
    AppendLogLine(LossText(outcome.loss), kRed);
    return true;
}

void AppendElapsedLine(uint32_t sendTime)
{
    AppendLogLine(FormatElapsedLine(ElapsedSince(sendTime)), kDarkGrey);
}
