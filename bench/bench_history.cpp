// Figures for values over time, without Qt: the trend chart's series store
// fed an hour of 10 ms cycles for 8 series as fast as it goes (time per
// sample, points kept, heap held, RSS along the way), what the chart's
// reads of it cost, and what sampling and a running CSV recording cost the
// poll worker per cycle. Medians where runs repeat; the machine is shared
// and noisy, so read them as orders of magnitude.
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "dataview/csv_recorder.h"
#include "dataview/cycle_sample.h"
#include "dataview/sample_handover.h"
#include "dataview/series_csv.h"
#include "dataview/series_store.h"

// Live heap bytes, counted by the program's own operator new and delete.
namespace {
std::atomic<int64_t> liveBytes{0};
}

void* operator new(size_t size)
{
    void* p = std::malloc(size ? size : 1);
    if (!p)
        throw std::bad_alloc();
    liveBytes.fetch_add(static_cast<int64_t>(malloc_usable_size(p)), std::memory_order_relaxed);
    return p;
}
void operator delete(void* p) noexcept
{
    if (p)
        liveBytes.fetch_sub(static_cast<int64_t>(malloc_usable_size(p)), std::memory_order_relaxed);
    std::free(p);
}
void operator delete(void* p, size_t) noexcept
{
    operator delete(p);
}

namespace {

using Clock = std::chrono::steady_clock;
constexpr int64_t kStart = 1796710503123;
constexpr int kCyclesPerHour = 360000;  // 10 ms

double NsSince(Clock::time_point start)
{
    return static_cast<double>(std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count());
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

long RssKiB()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return -1;
}

uint32_t state = 12345;
uint16_t Random16()
{
    state = state * 1664525u + 1013904223u;
    return static_cast<uint16_t>(state >> 16);
}

// A read response of table with `count` values (registers, or bits).
std::vector<uint8_t> Response(int table, int count)
{
    const bool bits = table <= 2;
    const int bytes = bits ? (count + 7) / 8 : 2 * count;
    std::vector<uint8_t> r(static_cast<size_t>(bytes));
    for (uint8_t& b : r)
        b = static_cast<uint8_t>(Random16());
    return r;
}

// Four tables of `rows` values read valid: what the poll worker builds per cycle.
void FillSample(CycleSample& sample, int rows, const std::vector<std::vector<uint8_t>>& responses, int64_t time)
{
    const int selectors[4] = {1, 1, 3, 2};
    BeginCycleSample(sample, 1, rows, selectors);
    for (int t = 1; t <= 4; t++) {
        const auto& r = responses[static_cast<size_t>(t - 1)];
        NoteTableRead(sample, t, r.data(), static_cast<int>(r.size()));
        NoteResponseTime(sample, time, 3);
    }
    FinishCycleSample(sample, time, 60);
}

void StoreOverAnHour()
{
    std::printf("Series store: 8 series, an hour of 10 ms cycles fed as fast as it goes\n");
    SeriesStore store;
    AddSeries(store, {SeriesBit, 2, 1, 0});
    AddSeries(store, {SeriesU16, 4, 1, 0});
    AddSeries(store, {SeriesS16, 4, 2, 0});
    AddSeries(store, {SeriesU32, 4, 3, 0});
    AddSeries(store, {SeriesS32, 4, 5, 1});
    AddSeries(store, {SeriesFloat32, 4, 7, 0});
    AddSeries(store, {SeriesFloat32, 3, 1, 3});
    AddSeries(store, ResponseTimeSource());

    // One sample, changed in place each cycle: only the store is timed.
    CycleSample sample;
    const int selectors[4] = {0, 1, 3, 3};
    BeginCycleSample(sample, 1, 10, selectors);
    for (int t : {2, 3, 4}) {
        const auto r = Response(t, 10);
        NoteTableRead(sample, t, r.data(), static_cast<int>(r.size()));
    }
    sample.responseTimes.resize(1);

    const int64_t heapBefore = liveBytes.load();
    const long rssBefore = RssKiB();
    std::printf("    %-8s %12s %14s %10s %12s\n", "minute", "points", "heap held", "RSS", "ns/sample");
    std::vector<double> windows;
    for (int window = 0; window < 10; window++) {
        const auto start = Clock::now();
        for (int i = 0; i < kCyclesPerHour / 10; i++) {
            const int64_t cycle = int64_t{window} * (kCyclesPerHour / 10) + i;
            sample.timeMs = kStart + 10 * cycle;
            for (int t : {1, 2, 3})
                for (uint16_t& w : sample.tables[static_cast<size_t>(t)].words)
                    w = t == 1 ? Random16() & 1 : Random16();
            sample.responseTimes[0] = {sample.timeMs, static_cast<uint32_t>(2 + Random16() % 5)};
            FeedSeriesStore(store, sample);
        }
        windows.push_back(NsSince(start) / (kCyclesPerHour / 10));
        size_t points = 0;
        for (const Series& s : store.series)
            points += SeriesPoints(s).size();
        std::printf("    %-8d %12zu %11.1f MiB %6.1f MiB %12.0f\n", (window + 1) * 6, points,
                    static_cast<double>(liveBytes.load() - heapBefore) / 1048576.0,
                    static_cast<double>(RssKiB() - rssBefore) / 1024.0, windows.back());
    }
    std::printf("    median %.0f ns per sample (8 series), %.0f ns per point\n", Median(windows), Median(windows) / 8);
    for (const Series& s : store.series)
        std::printf("    %-42s %6zu points, oldest %5.1f min old\n", s.name.c_str(), SeriesPoints(s).size(),
                    static_cast<double>(SeriesPoints(s).back().timeMs - SeriesPoints(s).front().timeMs) / 60000.0);

    // What the chart does 10 times a second at most.
    const int64_t now = SeriesPoints(store.series[0]).back().timeMs;
    for (int64_t span : {int64_t{60000}, int64_t{600000}, int64_t{3600000}}) {
        std::vector<double> runs;
        size_t drawn = 0;
        for (int run = 0; run < 7; run++) {
            const auto start = Clock::now();
            drawn = 0;
            for (const Series& s : store.series)
                drawn += PointsForView(s, now - span, now, 1000).size();
            runs.push_back(NsSince(start) / 1000.0);
        }
        std::printf("    PointsForView, 8 series, %2lld min on 1000 columns: %6.0f us (fastest %6.0f), %zu points to "
                    "draw\n",
                    static_cast<long long>(span / 60000), Median(runs), *std::min_element(runs.begin(), runs.end()),
                    drawn);
    }
    {
        std::vector<double> runs;
        double sink = 0;
        for (int run = 0; run < 7; run++) {
            const auto start = Clock::now();
            for (int i = 0; i < 1000; i++)
                for (const Series& s : store.series)
                    sink += SeriesValueAt(s, now - 17 * i).value_or(0);
            runs.push_back(NsSince(start) / 8000.0);
        }
        std::printf("    SeriesValueAt (the cursor): %.0f ns per series%s\n", Median(runs), sink == 0.5 ? " " : "");
    }
    const auto start = Clock::now();
    const std::string csv = SeriesCsvText(store, [](int64_t) { return int32_t{60}; });
    std::printf("    SeriesCsvText of it all: %.0f ms, %.1f MiB of text\n", NsSince(start) / 1e6,
                static_cast<double>(csv.size()) / 1048576.0);
}

void ProducerSide()
{
    std::printf("\nThe poll worker's side, per cycle of four tables of 100 values\n");
    std::vector<std::vector<uint8_t>> responses;
    for (int t = 1; t <= 4; t++)
        responses.push_back(Response(t, 100));

    std::vector<double> fill;
    for (int run = 0; run < 7; run++) {
        CycleSample sample;
        const auto start = Clock::now();
        for (int i = 0; i < 2000; i++)
            FillSample(sample, 100, responses, kStart + 10 * i);
        fill.push_back(NsSince(start) / 2000);
    }
    std::printf("    building the sample (Begin, 4 x NoteTableRead, Finish): %.0f ns (fastest %.0f)\n", Median(fill),
                *std::min_element(fill.begin(), fill.end()));

    SampleHandover handover;
    const auto dir = std::filesystem::temp_directory_path() / ("bench-history-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::string reason;
    auto recorder = StartCsvRecording((dir / "bench.csv").string(), handover, reason);
    if (!recorder) {
        std::printf("    no recording: %s\n", reason.c_str());
        return;
    }
    // Published at about 1 ms apart, far faster than any scan rate, each
    // call timed alone: what the worker waits.
    std::vector<double> publish, nothing;
    const int count = 5000;
    const auto begin = Clock::now();
    for (int i = 0; i < count; i++) {
        CycleSample sample;
        FillSample(sample, 100, responses, kStart + 10 * i);
        const auto start = Clock::now();
        PublishSample(handover, std::move(sample));
        publish.push_back(NsSince(start));
        // The same timing around no work: what the machine alone adds (a
        // thread preempted on a busy machine waits whatever it does).
        const auto idle = Clock::now();
        nothing.push_back(NsSince(idle));
        std::this_thread::sleep_for(std::chrono::microseconds(1000));
    }
    const double seconds = NsSince(begin) / 1e9;
    StopCsvRecording(*recorder);
    AwaitCsvRecordingEnd(*recorder, std::chrono::seconds(60));
    const CsvRecordingStatus status = CsvRecordingState(*recorder);
    std::sort(publish.begin(), publish.end());
    std::printf("    PublishSample to a running recording: median %.0f ns, p99 %.0f ns, max %.0f ns\n",
                publish[publish.size() / 2], publish[publish.size() * 99 / 100], publish.back());
    std::sort(nothing.begin(), nothing.end());
    std::printf("    the same timing around no work:      median %.0f ns, p99 %.0f ns, max %.0f ns\n",
                nothing[nothing.size() / 2], nothing[nothing.size() * 99 / 100], nothing.back());
    std::printf("    %llu rows of %zu bytes in %.1f s, %llu dropped\n", static_cast<unsigned long long>(status.rows),
                static_cast<size_t>(std::filesystem::file_size(dir / "bench.csv") / std::max<uint64_t>(1, status.rows)),
                seconds, static_cast<unsigned long long>(status.dropped));

    // As fast as the worker could ever publish: how fast the thread writes.
    recorder = StartCsvRecording((dir / "flood.csv").string(), handover, reason);
    const auto flood = Clock::now();
    for (int i = 0; i < 20000; i++) {
        CycleSample sample;
        FillSample(sample, 100, responses, kStart + 10 * i);
        PublishSample(handover, std::move(sample));
    }
    StopCsvRecording(*recorder);
    AwaitCsvRecordingEnd(*recorder, std::chrono::seconds(120));
    const CsvRecordingStatus flooded = CsvRecordingState(*recorder);
    std::printf("    20000 cycles published back to back: %llu rows written, %llu dropped, %.0f rows/s\n",
                static_cast<unsigned long long>(flooded.rows), static_cast<unsigned long long>(flooded.dropped),
                static_cast<double>(flooded.rows) / (NsSince(flood) / 1e9));
    std::filesystem::remove_all(dir);
}

}  // namespace

int main()
{
    std::ifstream load("/proc/loadavg");
    std::string loadavg;
    std::getline(load, loadavg);
    std::printf("load at start: %s\n", loadavg.c_str());
    StoreOverAnHour();
    ProducerSide();
    return 0;
}
