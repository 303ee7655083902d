// Figures for polling: the real window against a local fast server (the
// tests' fake server, answering at once). Prints medians and worst cases;
// the machine is shared and noisy, so no figure is a verdict.
//
//   cycle period / scan rate  one table of 10 values at scan rates 100 and 10 ms
//   ElapsedTime               as logged, one holding register, and the
//                             response times of the same transactions as
//                             the statistics beside the counters summarise
//                             them (request sent to reply received)
//   statistics cost           one record per transaction, in a tight loop,
//                             against the median ElapsedTime
//   event-loop delay          worst lateness of a 2 ms GUI timer while polling
//                             four tables of 2000 and of 125 values at 10 ms
//   reconnect                 from the server listening again after it went
//                             away to the next valid read, scan rate 500 ms
//   peak RSS                  of the whole run
#include <QEventLoop>
#include <QTimer>

#include <sys/resource.h>

#include <chrono>
#include <memory>

#include "bench/polling_harness.h"
#include "modbus/response_stats.h"

namespace {

// Runs the event loop for ms, calling probe every 2 ms; returns the worst
// lateness of those calls in milliseconds.
double RunLoopFor(int ms)
{
    QEventLoop loop;
    QElapsedTimer clock;
    clock.start();
    qint64 last = clock.nsecsElapsed();
    double worst = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        qint64 now = clock.nsecsElapsed();
        worst = std::max(worst, static_cast<double>(now - last) / 1e6 - 2.0);
        last = now;
    });
    probe.start(2);
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return worst;
}

// Median time between the starts of consecutive cycles of one table, as a
// ratio to the scan rate.
void CyclePeriod(FakeModbusServer& server, int scanMs, int cycles)
{
    const int formats[4] = {0, 0, 0, 3};
    server.ClearRecords();
    if (!Connect(10, scanMs, formats))
        return;
    QElapsedTimer clock;
    clock.start();
    while (server.RequestCount() < static_cast<size_t>(cycles + 1) && clock.elapsed() < 60000)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    Disconnect();

    std::vector<int64_t> times = server.RequestTimesUs();
    std::vector<double> periods;
    for (size_t i = 1; i < times.size(); ++i)
        periods.push_back(static_cast<double>(times[i] - times[i - 1]) / 1000.0);
    double median = Median(periods);
    std::printf("  scan rate %4d ms   median period %7.2f ms   ratio %5.2f   (%zu cycles)\n", scanMs, median,
                median / scanMs, periods.size());
}

void ElapsedTime(int cycles)
{
    const int formats[4] = {0, 0, 0, 3};
    if (!Connect(1, 10, formats))
        return;
    RunLoopUntil([cycles] { return program.validCount.load() >= cycles; }, 60000);
    Disconnect();
}

void EventLoopDelay(int length, int ms)
{
    const int formats[4] = {1, 1, 3, 2};
    if (!Connect(length, 10, formats))
        return;
    int32_t pollsBefore = program.pollCount.load();
    double worst = RunLoopFor(ms);
    int32_t polls = program.pollCount.load() - pollsBefore;
    Disconnect();
    DispatchControlEvent(IdClearLog);
    std::printf("  four tables of %4d values   worst delay %7.2f ms   (%d s, %d transactions)\n", length, worst,
                ms / 1000, polls);
}

// Keeps the summary text from being optimised away.
volatile size_t gSink = 0;

// Nanoseconds per RecordValidResponse and RecordBadResponse, alternating,
// on a statistics block of its own; and microseconds per summary (a tip).
void StatisticsCost()
{
    auto stats = std::make_unique<ResponseStats>();
    constexpr int kRecords = 2000000;
    std::vector<double> perRecord, perSummary;
    for (int run = 0; run < 7; ++run) {
        auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < kRecords; ++i) {
            if (i % 2)
                RecordValidResponse(*stats, static_cast<uint32_t>(i % 4000));
            else
                RecordBadResponse(*stats, {OutcomeException, FaultNone, LossNone, static_cast<uint8_t>(i)});
        }
        auto end = std::chrono::steady_clock::now();
        perRecord.push_back(std::chrono::duration<double, std::nano>(end - start).count() / kRecords);

        start = std::chrono::steady_clock::now();
        const ResponseSummary summary = SummariseResponseStats(*stats);
        const std::string text = ResponseTimesText(summary) + BadCausesText(summary);
        end = std::chrono::steady_clock::now();
        gSink = text.size();
        perSummary.push_back(std::chrono::duration<double, std::micro>(end - start).count());
    }
    std::printf("  record per transaction  median %6.1f ns   summary for a tip  median %6.1f us\n", Median(perRecord),
                Median(perSummary));
}

// The server goes away for a while and comes back: the milliseconds from its
// listening again to the first valid read after, for outages of increasing
// length (each lands at another point of the reconnect back-off).
void Reconnect(FakeModbusServer& server, int outages)
{
    const int formats[4] = {0, 0, 0, 3};
    if (!Connect(10, 500, formats))
        return;
    std::vector<double> delays;
    for (int i = 0; i < outages; ++i) {
        RunLoopUntil([] { return program.validCount.load() > 0; }, 5000);
        server.SetListening(false);
        RunLoopUntil([] { return program.link.state == LinkDown; }, 5000);
        RunLoopUntil([] { return false; }, 400 + i * 700);
        const int32_t valid = program.validCount.load();
        server.SetListening(true);
        QElapsedTimer clock;
        clock.start();
        RunLoopUntil([valid] { return program.validCount.load() > valid; }, 10000);
        delays.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    }
    Disconnect();
    std::printf("Reconnect, from the server listening again to the next valid read (scan rate 500 ms):\n");
    std::printf("  median %6.0f ms   max %6.0f ms   (%d outages of 0.4 to %.1f s)\n", Median(delays), Largest(delays),
                outages, 0.4 + (outages - 1) * 0.7);
}

}  // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    BenchWindow bench;
    FakeModbusServer& server = bench.server;

    std::printf("Poll-cycle period, one table of 10 holding registers:\n");
    CyclePeriod(server, 100, 30);
    CyclePeriod(server, 10, 100);

    // The log keeps 300 lines: the last 100 transactions.
    DispatchControlEvent(IdClearLog);
    ElapsedTime(100);
    std::vector<double> elapsed = LoggedElapsedTimes();
    std::printf("Logged ElapsedTime, one holding register:\n");
    std::printf("  median %5.1f ms   max %5.1f ms   (%zu transactions)\n", Median(elapsed), Largest(elapsed),
                elapsed.size());
    const ResponseSummary summary = SummariseResponseStats(program.responseStats);
    std::printf("Response statistics of the same connection:\n");
    std::printf("  median %5u ms   max %5u ms   95th percentile %u ms   (%llu valid)\n", summary.median,
                summary.highest, summary.p95, static_cast<unsigned long long>(summary.valid));
    StatisticsCost();
    DispatchControlEvent(IdClearLog);

    std::printf("GUI event-loop delay (2 ms probe timer), scan rate 10 ms:\n");
    std::printf("  not connected                 worst delay %7.2f ms\n", RunLoopFor(3000));
    EventLoopDelay(125, 5000);
    EventLoopDelay(2000, 10000);

    Reconnect(server, 8);

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("Peak RSS: %.1f MiB\n", static_cast<double>(usage.ru_maxrss) / 1024.0);
    return 0;
}
