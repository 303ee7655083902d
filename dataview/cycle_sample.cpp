#include "dataview/cycle_sample.h"

#include <algorithm>

#include "common/table_numbers.h"
#include "dataview/value_formats.h"

bool TableShown(const SampleBlock& block, int table)
{
    return table >= TableDiscreteInputs && table <= TableHoldingRegisters &&
           block.formats[static_cast<size_t>(table - 1)] != FormatNoData;
}

void BeginCycleSample(CycleSample& sample, int64_t start, int64_t quantity, const int selectors[4])
{
    sample = CycleSample{};
    sample.block.start = start;
    sample.block.rows = ListRowsForLength(quantity);
    for (size_t t = 0; t < 4; t++)
        sample.block.formats[t] = selectors[t];
}

void NoteTableRead(CycleSample& sample, int table, const uint8_t* data, int dataCount)
{
    if (!TableShown(sample.block, table) || !data)
        return;
    TableSample& read = sample.tables[static_cast<size_t>(table - 1)];
    const int format = sample.block.formats[static_cast<size_t>(table - 1)];
    DecodedValues decoded = DecodeReadValues(table, data, dataCount, sample.block.rows, format, sample.block.rows);
    read.valid = true;
    read.texts = std::move(decoded.texts);
    // The raw words of exactly the rows that got a text: DecodeReadValues
    // has checked that the data hold them.
    read.words.resize(read.texts.size());
    const bool bits = table == TableDiscreteInputs || table == TableCoils;
    for (size_t r = 0; r < read.words.size(); r++)
        read.words[r] = bits ? static_cast<uint16_t>((data[r / 8] >> (r % 8)) & 1)
                             : static_cast<uint16_t>(data[2 * r] << 8 | data[2 * r + 1]);
}

void NoteBadResponse(CycleSample& sample, const Outcome& outcome)
{
    BadResponseCounts& bad = sample.bad;
    switch (outcome.kind) {
    case OutcomeTimeout:
        bad.timeouts++;
        return;
    case OutcomeIncomplete:
        bad.wrongLength++;
        return;
    case OutcomeInvalid:  // a wrong CRC too: the record has no column of its own for it
        bad.invalid++;
        return;
    case OutcomeLinkLost:
        bad.linkLost++;
        return;
    case OutcomeException:
        break;
    case OutcomeValid:
    case OutcomeBroadcast:
    case OutcomeRefused:
        return;
    }
    const uint8_t exceptionCode = outcome.exceptionCode;
    auto at = std::lower_bound(bad.exceptions.begin(), bad.exceptions.end(), exceptionCode,
                               [](const auto& entry, uint8_t code) { return entry.first < code; });
    if (at != bad.exceptions.end() && at->first == exceptionCode)
        at->second++;
    else
        bad.exceptions.insert(at, {exceptionCode, 1});
}

void NoteResponseTime(CycleSample& sample, int64_t timeMs, uint32_t elapsedMs)
{
    sample.responseTimes.push_back({timeMs, elapsedMs});
}

void FinishCycleSample(CycleSample& sample, int64_t timeMs, int32_t utcOffsetMinutes)
{
    sample.timeMs = timeMs;
    sample.utcOffsetMinutes = utcOffsetMinutes;
}

size_t SampleBytes(const CycleSample& sample)
{
    size_t bytes = sizeof(CycleSample) + sample.bad.exceptions.capacity() * sizeof(sample.bad.exceptions[0]) +
                   sample.responseTimes.capacity() * sizeof(ResponseTime);
    for (const TableSample& table : sample.tables) {
        bytes += table.texts.capacity() * sizeof(std::string) + table.words.capacity() * sizeof(uint16_t);
        // Texts longer than the string's own buffer ("Binary") sit on the heap.
        for (const std::string& text : table.texts)
            if (text.capacity() > 15)
                bytes += text.capacity() + 1;
    }
    return bytes;
}
