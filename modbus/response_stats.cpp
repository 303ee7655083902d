#include "modbus/response_stats.h"

#include <algorithm>

namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

uint32_t BinOf(uint32_t ms)
{
    if (ms < kExactElapsedBins)
        return ms;
    return std::min(kExactElapsedBins + (ms - kExactElapsedBins) / kCoarseBinWidth, kElapsedBins - 1);
}

uint32_t BinStart(uint32_t bin)
{
    if (bin < kExactElapsedBins)
        return bin;
    return kExactElapsedBins + (bin - kExactElapsedBins) * kCoarseBinWidth;
}

// The time of the rank-th response (1-based) in ascending order.
uint32_t TimeOfRank(const std::array<uint32_t, kElapsedBins>& bins, uint64_t rank)
{
    uint64_t seen = 0;
    for (uint32_t b = 0; b < kElapsedBins; b++) {
        seen += bins[b];
        if (seen >= rank)
            return BinStart(b);
    }
    return BinStart(kElapsedBins - 1);
}

// Nearest rank of a share given in percent: ceil(percent * n / 100), at least 1.
uint64_t RankOf(uint64_t percent, uint64_t n)
{
    return std::max<uint64_t>(1, (percent * n + 99) / 100);
}

std::string Count(uint64_t n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

void RecordValidResponse(ResponseStats& stats, uint32_t elapsedMs)
{
    stats.elapsed[BinOf(elapsedMs)].fetch_add(1, kRelaxed);
    stats.last.store(elapsedMs, kRelaxed);
    uint32_t low = stats.lowest.load(kRelaxed);
    while (elapsedMs < low && !stats.lowest.compare_exchange_weak(low, elapsedMs, kRelaxed))
        ;
    uint32_t high = stats.highest.load(kRelaxed);
    while (elapsedMs > high && !stats.highest.compare_exchange_weak(high, elapsedMs, kRelaxed))
        ;
}

void RecordBadResponse(ResponseStats& stats, const Outcome& outcome)
{
    switch (outcome.kind) {
    case OutcomeTimeout:
        stats.timeouts.fetch_add(1, kRelaxed);
        break;
    case OutcomeIncomplete:
        stats.wrongLength.fetch_add(1, kRelaxed);
        break;
    case OutcomeInvalid:
        (outcome.fault == FaultCrc ? stats.crc : stats.invalid).fetch_add(1, kRelaxed);
        break;
    case OutcomeLinkLost:
        stats.linkLost.fetch_add(1, kRelaxed);
        break;
    case OutcomeException:
        stats.exceptions[outcome.exceptionCode].fetch_add(1, kRelaxed);
        break;
    case OutcomeValid:
    case OutcomeBroadcast:
    case OutcomeRefused:
        break;
    }
}

void ResetResponseStats(ResponseStats& stats)
{
    for (auto& bin : stats.elapsed)
        bin.store(0, kRelaxed);
    stats.last.store(0, kRelaxed);
    stats.lowest.store(UINT32_MAX, kRelaxed);
    stats.highest.store(0, kRelaxed);
    stats.timeouts.store(0, kRelaxed);
    stats.wrongLength.store(0, kRelaxed);
    stats.invalid.store(0, kRelaxed);
    stats.crc.store(0, kRelaxed);
    stats.linkLost.store(0, kRelaxed);
    for (auto& code : stats.exceptions)
        code.store(0, kRelaxed);
}

uint64_t ResponseSummary::bad() const
{
    uint64_t n = timeouts + wrongLength + invalid + crc + linkLost;
    for (const auto& [code, count] : exceptions)
        n += count;
    return n;
}

ResponseSummary SummariseResponseStats(const ResponseStats& stats)
{
    ResponseSummary s;
    std::array<uint32_t, kElapsedBins> bins;
    for (uint32_t b = 0; b < kElapsedBins; b++) {
        bins[b] = stats.elapsed[b].load(kRelaxed);
        s.valid += bins[b];
    }
    if (s.valid > 0) {
        s.last = stats.last.load(kRelaxed);
        s.lowest = stats.lowest.load(kRelaxed);
        s.highest = stats.highest.load(kRelaxed);
        // A reset racing a record can leave the extremes behind the bins;
        // the bins then give them.
        if (s.lowest > s.highest) {
            s.lowest = TimeOfRank(bins, 1);
            s.highest = TimeOfRank(bins, s.valid);
        }
        // The first and last ranks are the exact extremes; a coarse bin
        // never reaches outside them.
        auto timeOf = [&](uint64_t rank) {
            if (rank >= s.valid)
                return s.highest;
            return std::clamp(TimeOfRank(bins, rank), s.lowest, s.highest);
        };
        s.median = timeOf(RankOf(50, s.valid));
        s.p95 = timeOf(RankOf(95, s.valid));
    }
    s.timeouts = stats.timeouts.load(kRelaxed);
    s.wrongLength = stats.wrongLength.load(kRelaxed);
    s.invalid = stats.invalid.load(kRelaxed);
    s.crc = stats.crc.load(kRelaxed);
    s.linkLost = stats.linkLost.load(kRelaxed);
    for (int code = 0; code < 256; code++)
        if (const uint32_t n = stats.exceptions[static_cast<size_t>(code)].load(kRelaxed))
            s.exceptions.emplace_back(static_cast<uint8_t>(code), n);
    return s;
}

std::string ResponseTimesText(const ResponseSummary& s)
{
    std::string text = "Response time of " + Count(s.valid, "valid response", "valid responses");
    if (s.valid == 0)
        return text;
    auto line = [](const char* name, uint32_t ms) { return std::string("\n  ") + name + std::to_string(ms) + " ms"; };
    return text + ":" + line("last: ", s.last) + line("min: ", s.lowest) + line("median: ", s.median) +
           line("95th percentile: ", s.p95) + line("max: ", s.highest);
}

std::string BadCausesText(const ResponseSummary& s)
{
    std::string text = Count(s.bad(), "bad response", "bad responses");
    if (s.bad() == 0)
        return text;
    text += ":\n  time-outs: " + std::to_string(s.timeouts) + "\n  wrong length: " + std::to_string(s.wrongLength) +
            "\n  invalid responses: " + std::to_string(s.invalid);
    if (s.crc > 0)
        text += "\n  wrong CRC: " + std::to_string(s.crc);
    text += "\n  connection lost: " + std::to_string(s.linkLost);
    for (const auto& [code, count] : s.exceptions) {
        text += "\n  exception " + std::to_string(code);
        if (*ExceptionName(code))
            text += std::string(" (") + ExceptionName(code) + ")";
        text += ": " + std::to_string(count);
    }
    return text;
}

const char* ExceptionName(uint8_t code)
{
    switch (code) {
    case 1:
        return "Illegal Function";
    case 2:
        return "Illegal Data Address";
    case 3:
        return "Illegal Data Value";
    case 4:
        return "Server Device Failure";
    case 5:
        return "Acknowledge";
    case 6:
        return "Server Device Busy";
    case 8:
        return "Memory Parity Error";
    case 10:
        return "Gateway Path Unavailable";
    case 11:
        return "Gateway Target Device Failed to Respond";
    default:
        return "";
    }
}
