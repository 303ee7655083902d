#include "engine/poll_worker.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

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
#include "modbus/pdu_sizes.h"
#include "modbus/read_split.h"
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

const char* TableName(int table)
{
    switch (table) {
    case TableDiscreteInputs:
        return "Discrete Inputs";
    case TableCoils:
        return "Coils";
    case TableInputRegisters:
        return "Input Registers";
    default:
        return "Holding Registers";
    }
}

Transaction ReadPartTransaction(int table, const CycleSnapshot& s, const ReadPart& part, uint8_t* buffer)
{
    uint8_t request[kRequestLength];
    // The part's address is as it goes out: the offset is in it already.
    const int length = BuildReadRequest(request, table, s.unit, part.address, part.quantity, false);
    return RunTransaction(request, length, false, buffer);
}

// The answer's two lines, the cut and the scroll reach the log in one
// hand-off to the GUI thread instead of four.
void LogValidRead(const Transaction& t, const uint8_t* buffer)
{
    RunOnGui([&] {
        AppendLogLine(FormatResponseLine(buffer, t.received), kBlack);
        AppendElapsedLine(t.sendTime);
        TrimLog();
        ScrollLogToEnd();
    });
}

// A table read in one request; false when it found the link lost.
bool ReadWholeTable(int table, const CycleSnapshot& s, const ReadPart& part, uint8_t* buffer)
{
    const Transaction t = ReadPartTransaction(table, s, part, buffer);
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
    // The log's elapsed time includes showing the values; the response
    // time does not.
    LogValidRead(t, buffer);
    SampleValidRead(table, data, dataCount, responseMs);
    return true;
}

// Rows first .. end - 1 of a table that were not read, by address number.
struct UnreadRows {
    int64_t first = 0;
    int64_t end = 0;
    const char* why = "";
};

void AddUnread(std::vector<UnreadRows>& unread, int64_t first, int64_t end, const char* why)
{
    if (first >= end)
        return;
    // A run of failed parts is told as one range.
    if (!unread.empty() && unread.back().end == first && std::string_view(unread.back().why) == why) {
        unread.back().end = end;
        return;
    }
    unread.push_back({first, end, why});
}

// Which addresses of the table were not read, in the status and the log.
void TellUnread(int table, const CycleSnapshot& s, const std::vector<UnreadRows>& unread)
{
    std::string ranges;
    std::string details;
    for (const UnreadRows& rows : unread) {
        const int64_t first = s.startAddress + rows.first;
        const int64_t last = s.startAddress + rows.end - 1;
        const std::string range =
            first == last ? std::to_string(first) : std::to_string(first) + "-" + std::to_string(last);
        ranges += (ranges.empty() ? "" : ", ") + range;
        details += (details.empty() ? "" : "; ") + range + " " + rows.why;
    }
    // The status names the first range only, so that it is read whole; the
    // log line names them all.
    std::string what = std::string(TableName(table)) + " " + ranges.substr(0, ranges.find(','));
    if (unread.size() > 1)
        what += " (+" + std::to_string(unread.size() - 1) + ")";
    SetStatusField(StatusText, "Status: Not Read: " + what);
    AppendLogLine(std::string("Not read: ") + TableName(table) + " " + details +
                      ". The table shows its last complete read.",
                  kRed);
}

// A table longer than the device takes in one read: its parts in address
// order, their values put together as one reply would carry them. Shown,
// sampled and current only when every part was read; otherwise the status
// and the log say which addresses failed. False when the link was lost.
bool ReadTableInParts(int table, const CycleSnapshot& s, const ReadSplit& split, uint8_t* buffer)
{
    const bool bits = table == TableDiscreteInputs || table == TableCoils;
    std::vector<uint8_t> values(static_cast<size_t>(ValueBytes(ReadFunctionCode(table), s.quantity)));
    std::vector<UnreadRows> unread;
    AddUnread(unread, 0, split.firstRow, "lie below address 0");
    bool linkUp = true;
    bool stopped = false;
    for (int64_t i = 0; i < split.parts; i++) {
        // The first part's wait was the cycle's.
        if (i > 0 && !ReadyForRequest()) {
            stopped = true;
            break;
        }
        const ReadPart part = PartOf(split, i);
        const Transaction t = ReadPartTransaction(table, s, part, buffer);
        if (t.outcome.kind != OutcomeValid) {
            AddUnread(unread, part.firstRow, part.firstRow + part.quantity, "failed");
            if (ReportBadOutcome(t, buffer)) {
                linkUp = false;
                break;
            }
            continue;
        }
        SampleResponseTime(CountValidReply(t));
        PlacePartValues(bits, t.reply.pdu + 2, t.reply.pduLength - 2, part, values.data(),
                        static_cast<int64_t>(values.size()));
        LogValidRead(t, buffer);
    }
    AddUnread(unread, split.endRow, s.quantity, "lie past address 65535");
    if (unread.empty() && linkUp && !stopped) {
        SetStatusField(StatusText, kStatusOk);
        const int count = static_cast<int>(values.size());
        ShowReadValues(table, values.data(), count, s.quantity, s.selectors[0], s.selectors[1], s.selectors[2],
                       s.selectors[3]);
        MarkTableFresh(table);
        SampleTableValues(table, values.data(), count);
        return true;
    }
    MarkTableStale(table);
    if (linkUp && !stopped)
        TellUnread(table, s, unread);
    return linkUp;
}

// One table of the cycle, in as many requests as the device settings ask
// for; false when it found the link lost.
bool ReadTable(int table, const CycleSnapshot& s, uint8_t* buffer)
{
    const DeviceSettings& device = program.link.device;
    const bool bits = table == TableDiscreteInputs || table == TableCoils;
    const ReadSplit split =
        SplitRead(SentAddress(s.startAddress, s.offsetOn), s.quantity, bits ? device.maxBits : device.maxRegisters);
    if (split.parts == 1 && split.firstRow == 0 && split.endRow == s.quantity)
        return ReadWholeTable(table, s, PartOf(split, 0), buffer);
    return ReadTableInParts(table, s, split, buffer);
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
        // A table not shown leaves the counters as they are.
        if (snapshot.selectors[t - 1] == FormatNoData)
            continue;
        // Asked to disconnect: the transaction in progress has ended, the
        // rest of the cycle is not started.
        if (!ReadyForRequest())
            break;
        linkUp = ReadTable(t, snapshot, buffer.data());
        RefreshCounterFields();
        if (!linkUp)
            program.link.resume = static_cast<CycleResume>(t);
    }
    FinishSampledReads();
    if (linkUp && !(linkUp = SendPendingWrites(buffer.data())))
        program.link.resume = ResumeAtWrites;
    PublishCycleSample();
    if (!linkUp)
        ReportLinkLost();
    else if (program.link.device.closeAfterCycle && !program.cycleStop.load())
        ReportCycleDone();

    // Last: from here on the GUI thread may close or replace the connection.
    program.workerRunning.store(false);
}
