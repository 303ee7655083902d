// What one poll cycle read, as one plain record: the values of each shown
// table as its column shows them and as raw words, the block they belong
// to, the cycle's bad responses by cause and the response times. The poll
// worker fills one per cycle and publishes it (sample_handover.h); the CSV
// recorder and the trend chart take it from there. No Qt, no I/O, no clock:
// times come in as arguments.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "modbus/outcome.h"

// The tables and rows a cycle covers. A change of any of it starts a new
// header block in a recording.
struct SampleBlock {
    int64_t start = 0;             // address number of row 0, as the labels carry it
    int64_t rows = 0;              // rows of every shown table, as the list has them
    std::array<int, 4> formats{};  // selector index of table 1..4; FormatNoData: not shown
    bool operator==(const SampleBlock&) const = default;
};

// Table 1..4 is shown when its selector is anything but "No data" (-1,
// nothing selected, still polls).
bool TableShown(const SampleBlock& block, int table);

struct TableSample {
    // Its read this cycle ended valid. A shown table whose read failed, or
    // was never made (the cycle broke off), stays false and has no values.
    bool valid = false;
    // Rows 0.. as the value column shows them; fewer than the block's rows
    // when the answer held fewer values (the list blanks the rest).
    std::vector<std::string> texts;
    // The same rows raw: a register's 16 bits, a bit as 0 or 1.
    std::vector<uint16_t> words;
};

struct BadResponseCounts {
    uint32_t timeouts = 0;
    uint32_t wrongLength = 0;
    uint32_t invalid = 0;
    uint32_t linkLost = 0;
    std::vector<std::pair<uint8_t, uint32_t>> exceptions;  // code, count; codes ascending
    bool operator==(const BadResponseCounts&) const = default;
};

// One valid response's response time (its request's last byte sent to the
// reply's last byte received) and when it came.
struct ResponseTime {
    int64_t timeMs = 0;
    uint32_t elapsedMs = 0;
};

struct CycleSample {
    int64_t timeMs = 0;            // wall clock when the cycle's reads ended, ms since 1970 UTC
    int32_t utcOffsetMinutes = 0;  // local offset at timeMs
    SampleBlock block;
    std::array<TableSample, 4> tables;  // Discrete Inputs, Coils, Input Registers, Holding Registers
    BadResponseCounts bad;              // reads and writes of the cycle
    std::vector<ResponseTime> responseTimes;
};

// The worker's calls, in cycle order. Each is cheap: no lock, no wait.
//
// At the start: the block of the cycle snapshot. start is the start address
// the labels were built from, quantity the Length of the requests (the
// list's rows follow it, as ListRowsForLength says), selectors those of
// Discrete Inputs, Coils, Input Registers and Holding Registers. Clears
// whatever the record held.
void BeginCycleSample(CycleSample& sample, int64_t start, int64_t quantity, const int selectors[4]);

// After a valid read of table 1..4: its values, the data[0 .. dataCount)
// after the reply's byte count, decoded as the value column decodes them
// (DecodeReadValues). A table not shown in the block, or another number,
// is ignored.
void NoteTableRead(CycleSample& sample, int table, const uint8_t* data, int dataCount);

// After each bad response, read or write, by its kind (as RecordBadResponse
// counts it); outcomes that are not bad count nothing.
void NoteBadResponse(CycleSample& sample, const Outcome& outcome);

// After each valid response, read or write: its response time and the
// wall-clock time it was taken.
void NoteResponseTime(CycleSample& sample, int64_t timeMs, uint32_t elapsedMs);

// When the reads are over: the wall-clock stamp of the cycle's row.
void FinishCycleSample(CycleSample& sample, int64_t timeMs, int32_t utcOffsetMinutes);

// Roughly the heap a sample holds, so that a queue of them can be bounded by
// memory as well as by count.
size_t SampleBytes(const CycleSample& sample);
