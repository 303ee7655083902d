// Response times and the causes of bad responses, kept beside the counters.
// Fixed size whatever the length of the session: valid responses go into a
// histogram of response times (1 ms bins up to 2047 ms, then 64 ms bins), bad
// ones into counts by cause. Every field is atomic: the worker records, the
// GUI thread resets and reads, and neither waits for the other. No Qt.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "modbus/outcome.h"

constexpr uint32_t kExactElapsedBins = 2048;   // 0..2047 ms, one bin per millisecond
constexpr uint32_t kCoarseElapsedBins = 1024;  // then 64 ms each; the last takes the rest
constexpr uint32_t kCoarseBinWidth = 64;
constexpr uint32_t kElapsedBins = kExactElapsedBins + kCoarseElapsedBins;

struct ResponseStats {
    std::array<std::atomic<uint32_t>, kElapsedBins> elapsed{};  // valid responses per bin
    std::atomic<uint32_t> last{0};                              // ms, the latest valid response
    std::atomic<uint32_t> lowest{UINT32_MAX};                   // ms, exact
    std::atomic<uint32_t> highest{0};                           // ms, exact
    std::atomic<uint32_t> timeouts{0};
    std::atomic<uint32_t> wrongLength{0};
    std::atomic<uint32_t> invalid{0};                     // answers of the wrong shape
    std::atomic<uint32_t> crc{0};                         // RTU frames whose CRC was wrong
    std::atomic<uint32_t> linkLost{0};                    // transactions ended by a lost connection
    std::array<std::atomic<uint32_t>, 256> exceptions{};  // by exception code
};

// Worker thread. A bad response is counted by its kind (an incomplete reply
// as a wrong length, a wrong CRC apart from other invalid replies, an
// exception by its code); outcomes that are not bad count nothing.
void RecordValidResponse(ResponseStats& stats, uint32_t elapsedMs);
void RecordBadResponse(ResponseStats& stats, const Outcome& outcome);

// GUI thread. A transaction ending meanwhile may land on either side.
void ResetResponseStats(ResponseStats& stats);

// What the statistics say at one moment. Times in ms; percentiles are
// nearest-rank (the smallest time at least that share of responses took),
// exact below 2048 ms and to within 64 ms above.
struct ResponseSummary {
    uint64_t valid = 0;
    uint32_t last = 0, lowest = 0, median = 0, p95 = 0, highest = 0;
    uint64_t timeouts = 0, wrongLength = 0, invalid = 0, crc = 0, linkLost = 0;
    std::vector<std::pair<uint8_t, uint64_t>> exceptions;  // codes seen, ascending
    uint64_t bad() const;
};
ResponseSummary SummariseResponseStats(const ResponseStats& stats);

// Tool-tip texts, several lines each. Wrong CRCs have a line only when
// there were any: Modbus/TCP has no CRC.
std::string ResponseTimesText(const ResponseSummary& summary);
std::string BadCausesText(const ResponseSummary& summary);

// The usual name of a Modbus exception code ("Illegal Data Address"), or
// empty for a code without one.
const char* ExceptionName(uint8_t code);
