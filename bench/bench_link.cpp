// Figures for a link to a device that misbehaves as real ones do: the real
// window (offscreen) against the tests' fake server on loopback. Prints
// counts and medians; the machine is shared and noisy, so no timing is a
// verdict.
//
//   late answers     one table, every fourth request answered 1.2 s late
//                    (half of them with exception 04), 96 cycles: answers
//                    shown for a request they did not answer, exceptions
//                    counted for a request not answered with one
//   accept and close a device whose connection slots are full: connects in
//                    15 s
//   one transaction  a device that closes each connection after one
//                    answer, four tables at 300 ms and one queued write:
//                    reads of each table and writes sent in 25 s
//   stray frames     100,000 frames of another transaction id and no
//                    answer: from the request to the transaction's end,
//                    and from a Disconnect click to the closed connection
//   response time    a table of 125 registers answered at once: the
//                    median of the response-time figures, beside the
//                    logged ElapsedTime
//
//   bench_link [text]    only the cases whose name contains text
#include <QElapsedTimer>

#include <chrono>
#include <string>

#include "bench/polling_harness.h"
#include "engine/scan_tick.h"
#include "modbus/frames.h"
#include "modbus/response_stats.h"
#include "ui/data_list.h"

namespace {

std::string gOnly;

bool Wanted(const std::string& what)
{
    return what.find(gOnly) != std::string::npos;
}

int64_t NowUs()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

const int kHoldingOnly[4] = {0, 0, 0, 3};
const int kAllTables[4] = {1, 1, 3, 3};

// One cycle started by hand, and the wait for its end.
void RunCycle()
{
    ScanTick();
    RunLoopUntil([] { return !program.workerRunning.load(); }, 10000);
}

int Requests(FakeModbusServer& server, int function)
{
    int n = 0;
    for (const std::vector<uint8_t>& request : server.Requests())
        n += request[7] == function;
    return n;
}

void LateAnswers(FakeModbusServer& server)
{
    constexpr int kCycles = 96;
    server.ClearRecords();
    server.SetNumberInValues(true);
    for (int i = 0; i < kCycles; ++i) {
        FakeReply reply = i % 8 == 3 ? FakeReply::Error(4) : FakeReply::Normal();
        if (i % 4 == 3)
            reply.delayMs = 1200;
        server.Push(reply);
    }
    DispatchControlEvent(IdClearLog);
    if (!Connect(10, 600000, kHoldingOnly))
        return;
    int shownWrong = 0, validReads = 0;
    for (int i = 0; i < kCycles; ++i) {
        const int32_t valid = program.validCount.load();
        RunCycle();
        if (program.validCount.load() == valid)
            continue;
        ++validReads;
        // Every value the server sent is the number of the request it
        // answered; the one just made is the last it received.
        shownWrong += GetCellText(0, 7) != std::to_string(server.RequestCount());
    }
    const ResponseSummary figures = SummariseResponseStats(program.responseStats);
    uint64_t exceptions = 0;
    for (const auto& [code, count] : figures.exceptions)
        exceptions += count;
    Disconnect();
    server.SetNumberInValues(false);
    std::printf("Late answers, one table, every 4th request answered 1.2 s late (half of those exception 04):\n");
    std::printf("  %d cycles: %d valid reads, %d shown for a request they did not answer; %llu exceptions counted,"
                " %llu time-outs\n",
                kCycles, validReads, shownWrong, static_cast<unsigned long long>(exceptions),
                static_cast<unsigned long long>(figures.timeouts));
}

void AcceptAndClose(FakeModbusServer& server)
{
    server.SetConnectionLimit(0);
    const int before = server.Accepted();
    const int32_t pollsBefore = program.pollCount.load();
    if (!Connect(10, 100, kHoldingOnly))
        return;
    QElapsedTimer clock;
    clock.start();
    RunLoopUntil([] { return false; }, 15000);
    const int connects = server.Accepted() - before;
    const int32_t polls = program.pollCount.load() - pollsBefore;
    Disconnect();
    server.SetConnectionLimit(-1);
    std::printf("Accept and close at once, scan rate 100 ms:\n");
    std::printf("  %d connects in %.1f s (the user's included), %d polls counted\n", connects,
                static_cast<double>(clock.elapsed()) / 1000.0, polls);
}

void OneTransactionPerConnection(FakeModbusServer& server)
{
    server.ClearRecords();
    server.SetConnectionLimit(1);
    server.SetValue(4, 5, 0);
    const int before = server.Accepted();
    if (!Connect(10, 300, kAllTables))
        return;
    // A write typed while connected: 1234 to holding register 5.
    PendingWrite write;
    write.length = BuildWriteRequest(write.frame.data(), 1, kFunctionWriteRegister, 5, 1234, false);
    program.link.pendingWrites.Append(write, program.link.target);
    QElapsedTimer clock;
    clock.start();
    int64_t allThreeMs = -1;
    RunLoopUntil(
        [&] {
            if (allThreeMs < 0 && Requests(server, 2) >= 3 && Requests(server, 1) >= 3 && Requests(server, 4) >= 3 &&
                Requests(server, 3) >= 3)
                allThreeMs = clock.elapsed();
            return false;
        },
        25000);
    const int connects = server.Accepted() - before;
    Disconnect();
    server.SetConnectionLimit(-1);
    std::printf("One transaction per connection, four tables at 300 ms, one queued write, 25 s:\n");
    std::printf("  reads: Discrete Inputs %d, Coils %d, Input Registers %d, Holding Registers %d;"
                " every table 3 times after %.1f s\n",
                Requests(server, 2), Requests(server, 1), Requests(server, 4), Requests(server, 3),
                static_cast<double>(allThreeMs) / 1000.0);
    std::printf("  writes sent %d, register 5 holds %u; %d connects\n", Requests(server, 6), server.Value(4, 5),
                connects);
}

void StrayFrames(FakeModbusServer& server)
{
    constexpr int kFrames = 100000;
    std::vector<double> transactions, disconnects;
    int logLines = 0;
    for (int run = 0; run < 3; ++run) {
        server.ClearRecords();
        DispatchControlEvent(IdClearLog);
        server.Push(FakeReply::Flood(kFrames, false));
        if (!Connect(10, 600000, kHoldingOnly))
            return;
        RunCycle();
        const int64_t endUs = NowUs();
        const std::vector<int64_t> sent = server.RequestTimesUs();
        if (!sent.empty())
            transactions.push_back(static_cast<double>(endUs - sent.front()) / 1000.0);
        logLines = EditorLineCount(IdMessageLog);

        // Disconnect 300 ms into the next flooded transaction.
        server.Push(FakeReply::Flood(kFrames, false));
        const size_t requests = server.RequestCount();
        ScanTick();
        RunLoopUntil([&] { return server.RequestCount() > requests; }, 5000);
        RunLoopUntil([] { return false; }, 300);
        const int64_t clickUs = NowUs();
        DispatchControlEvent(IdConnectComms);
        RunLoopUntil([] { return program.link.connection.load() == nullptr; }, 30000);
        disconnects.push_back(static_cast<double>(NowUs() - clickUs) / 1000.0);
        RunLoopUntil(Disconnected, 30000);
    }
    std::printf("100,000 stray frames and no answer (3 runs):\n");
    std::printf("  request to the transaction's end  median %6.0f ms   max %6.0f ms   (%d log lines for it)\n",
                Median(transactions), Largest(transactions), logLines);
    std::printf("  Disconnect clicked 300 ms in      median %6.0f ms   max %6.0f ms to the closed connection\n",
                Median(disconnects), Largest(disconnects));
}

void ResponseTimes()
{
    constexpr int kReads = 100;
    DispatchControlEvent(IdClearLog);
    if (!Connect(125, 600000, kHoldingOnly))
        return;
    for (int i = 0; i < kReads; ++i)
        RunCycle();
    const ResponseSummary figures = SummariseResponseStats(program.responseStats);
    const std::vector<double> logged = LoggedElapsedTimes();
    Disconnect();
    std::printf("A table of 125 registers answered at once (%llu valid reads):\n",
                static_cast<unsigned long long>(figures.valid));
    std::printf("  response time: median %u ms   95th percentile %u ms   max %u ms\n", figures.median, figures.p95,
                figures.highest);
    std::printf("  logged ElapsedTime (values shown included): median %.0f ms\n", Median(logged));
}

}  // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (argc > 1)
        gOnly = argv[1];
    QApplication application(argc, argv);
    BenchWindow bench;
    FakeModbusServer& server = bench.server;

    if (Wanted("late answers"))
        LateAnswers(server);
    if (Wanted("accept and close"))
        AcceptAndClose(server);
    if (Wanted("one transaction"))
        OneTransactionPerConnection(server);
    if (Wanted("stray frames"))
        StrayFrames(server);
    if (Wanted("response time"))
        ResponseTimes();
    return 0;
}
