// Figures for staying bounded whatever the server does. Prints medians and
// worst cases; the machine is shared and noisy, so no figure is a verdict.
//
//   ElapsedTime      logged for Length 65535 answered with one register
//   disconnect       from the click during a cycle of four 2000-value
//                    tables to the closed connection, scan rate 1000 ms
//   RSS growth       failed polls (exceptions) of four tables at 10 ms:
//                    RSS after the first minute and after the whole run
//
//   bench_bounds [minutes]    length of the RSS run, default 10
#include <QElapsedTimer>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "bench/polling_harness.h"

namespace {

constexpr int kRuns = 7;

// Resident set size now, in MiB.
double RssMiB()
{
    long pages = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

void HugeBlockElapsed(FakeModbusServer& server)
{
    server.SetDefault(FakeReply::RawWithId({0, 0, 0, 0, 0, 5, 1, 3, 2, 0x12, 0x34}));
    DispatchControlEvent(IdClearLog);
    const int formats[4] = {0, 0, 0, 3};
    if (!Connect(65535, 10, formats))
        return;
    RunLoopUntil([] { return program.validCount.load() >= kRuns; }, 120000);
    Disconnect();
    const std::vector<double> elapsed = LoggedElapsedTimes();
    std::printf("Logged ElapsedTime, Length 65535 answered with one register:\n");
    std::printf("  median %6.1f ms   max %6.1f ms   (%zu transactions)\n", Median(elapsed), Largest(elapsed),
                elapsed.size());
    server.SetDefault(FakeReply::Normal());
}

// A disconnect clicked at different moments of a cycle of four tables of
// 2000 values (the register tables are refused by the strict server, the bit
// tables fill 2000 rows each).
void DisconnectLatency(FakeModbusServer& server)
{
    const int formats[4] = {1, 1, 3, 3};
    std::vector<double> latencies;
    for (int run = 0; run < kRuns; ++run) {
        server.ClearRecords();
        DispatchControlEvent(IdClearLog);
        if (!Connect(2000, 1000, formats))
            return;
        RunLoopUntil([&] { return server.RequestCount() >= 1; }, 5000);
        const int delayMs = 300 + run * 350;  // from inside the first table to the idle gap
        RunLoopUntil([] { return false; }, delayMs);
        QElapsedTimer clock;
        clock.start();
        DispatchControlEvent(IdConnectComms);
        RunLoopUntil(Disconnected, 30000);
        latencies.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    }
    std::printf("Disconnect during a cycle of four 2000-value tables, scan rate 1000 ms:\n");
    std::printf("  median %6.0f ms   max %6.0f ms   (%d clicks)\n", Median(latencies), Largest(latencies), kRuns);
}

void RssGrowth(FakeModbusServer& server, int minutes)
{
    server.SetDefault(FakeReply::Error(2));
    DispatchControlEvent(IdClearLog);
    const int formats[4] = {1, 1, 3, 3};
    if (!Connect(10, 10, formats))
        return;
    // The server in this process records every request; its records are
    // dropped every half minute so the figures are the client's.
    auto runFor = [&](int halfMinutes) {
        for (int i = 0; i < halfMinutes; ++i) {
            RunLoopUntil([] { return false; }, 30000);
            server.ClearRecords();
        }
    };
    runFor(2);
    const double first = RssMiB();
    const int32_t pollsFirst = program.pollCount.load();
    runFor((minutes - 1) * 2);
    const double last = RssMiB();
    const int32_t polls = program.pollCount.load();
    const int lines = EditorLineCount(IdMessageLog);
    Disconnect();
    std::printf("RSS while every poll fails (exception), four tables at 10 ms, %d min:\n", minutes);
    std::printf("  after 1 min %6.1f MiB   after %d min %6.1f MiB   growth %+5.1f MiB\n", first, minutes, last,
                last - first);
    std::printf("  %d polls in the first minute, %d in all; the log holds %d lines\n", pollsFirst, polls, lines);
    server.SetDefault(FakeReply::Normal());
}

}  // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const int minutes = argc > 1 ? std::max(2, std::atoi(argv[1])) : 10;
    std::setvbuf(stdout, nullptr, _IOLBF, 0);  // each figure as soon as it is known
    QApplication application(argc, argv);
    BenchWindow bench;
    HugeBlockElapsed(bench.server);
    DisconnectLatency(bench.server);
    RssGrowth(bench.server, minutes);
    return 0;
}
