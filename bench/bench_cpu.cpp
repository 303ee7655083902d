// What polling costs the machine: the client's own CPU while it polls, the
// timing on the wire, and what one log line costs at two log sizes. The fake
// server runs in a child process, so the figures count the client alone
// (getrusage of this process: the GUI thread, the poll worker and Qt's own).
// Prints medians; the machine is shared and noisy, so no figure is a verdict.
//
//   CPU        % of one core, user + system, over windows of 10 s, median of
//              three, with the context switches per second
//   period     median and p95 interval between the cycles on the wire, ratio
//              to the scan rate, ticks skipped (a gap of two or more periods),
//              and the ticks that found a cycle still running, counted by
//              the client, with the shortest time that cycle had run by then
//   log line   GUI-thread CPU per AppendLogLine with the log page in view,
//              paint included, the log holding 300 and 2000 lines
//   trend      the trend window showing 4 series of 10 registers at 100 ms
//              against the same polling without it, window by window
//              alternated in one run; and the RSS of 8 series at 10 ms over
//              six windows' time
//
//   bench_cpu [seconds per window] [text]
//       windows of 10 s unless given; with a text, only the cases that
//       contain it (the log-line figures are "log line in view" and "log
//       line out of view")
//
// Runs offscreen unless QT_QPA_PLATFORM says otherwise (xcb under Xvfb, say).
#include <QEventLoop>
#include <QTabWidget>
#include <QTimer>
#include <QWidget>

#include <pthread.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <fstream>

#include "bench/polling_harness.h"
#include "common/colours.h"
#include "engine/message_log.h"
#include "engine/trend_feed.h"
#include "modbus/response_stats.h"
#include "ui/trend_window.h"
#include "ui/window_handlers.h"

namespace {

constexpr int kWindows = 3;
int gWindowSeconds = 10;
std::string gOnly;

bool Wanted(const std::string& what)
{
    return what.find(gOnly) != std::string::npos;
}

bool WriteAll(int fd, const void* data, size_t size)
{
    auto* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = write(fd, p, size);
        if (n <= 0)
            return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool ReadAll(int fd, void* data, size_t size)
{
    auto* p = static_cast<char*>(data);
    while (size > 0) {
        ssize_t n = read(fd, p, size);
        if (n <= 0)
            return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// The tests' fake server in a child process, answering at once, driven over
// a socket pair: 'C' clears its records, 'T' sends the arrival times of the
// requests since. Made before the QApplication, so the child has no Qt.
class ServerProcess {
public:
    ServerProcess()
    {
        int fds[2];
        if (socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            close(fds[0]);
            Serve(fds[1]);
            _exit(0);
        }
        close(fds[1]);
        fd_ = fds[0];
        if (!ReadAll(fd_, &port_, sizeof port_))
            port_ = 0;
    }
    ~ServerProcess()
    {
        if (fd_ >= 0)
            close(fd_);
        if (pid_ > 0)
            waitpid(pid_, nullptr, 0);
    }
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    uint16_t Port() const { return port_; }

    void Clear()
    {
        char ack = 0;
        if (WriteAll(fd_, "C", 1))
            ReadAll(fd_, &ack, 1);
    }

    std::vector<int64_t> RequestTimesUs()
    {
        uint64_t n = 0;
        if (!WriteAll(fd_, "T", 1) || !ReadAll(fd_, &n, sizeof n))
            return {};
        std::vector<int64_t> times(n);
        if (!ReadAll(fd_, times.data(), n * sizeof(int64_t)))
            return {};
        return times;
    }

private:
    static void Serve(int fd)
    {
        FakeModbusServer server;
        const uint16_t port = server.Port();
        WriteAll(fd, &port, sizeof port);
        char command = 0;
        while (ReadAll(fd, &command, 1)) {
            if (command == 'C') {
                server.ClearRecords();
                WriteAll(fd, "k", 1);
            } else if (command == 'T') {
                const std::vector<int64_t> times = server.RequestTimesUs();
                const uint64_t n = times.size();
                WriteAll(fd, &n, sizeof n);
                WriteAll(fd, times.data(), n * sizeof(int64_t));
            }
        }
    }

    pid_t pid_ = -1;
    int fd_ = -1;
    uint16_t port_ = 0;
};

std::string LoadAverage()
{
    std::string one, five, fifteen;
    std::ifstream("/proc/loadavg") >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

struct Usage {
    double cpuSeconds = 0;
    double switches = 0;
    double wallSeconds = 0;
};

Usage UsageNow()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    Usage usage;
    usage.cpuSeconds = static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
                       static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
    usage.switches = static_cast<double>(u.ru_nvcsw + u.ru_nivcsw);
    usage.wallSeconds = static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
    return usage;
}

void ShowPage(int index)
{
    if (auto* panel = qobject_cast<QTabWidget*>(FindControl(IdTabPanel)))
        panel->setCurrentIndex(index);
}

constexpr int kPageCommunications = 0;
constexpr int kPageViewData = 1;
constexpr int kPageViewMessages = 2;

// Runs the event loop for ms, sleeping while there is nothing to do (as the
// program's own loop does), so the bench adds no CPU of its own.
void Idle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// CPU (% of one core) over one window while the event loop runs.
double CpuOverWindow()
{
    const Usage before = UsageNow();
    Idle(gWindowSeconds * 1000);
    const Usage after = UsageNow();
    return 100.0 * (after.cpuSeconds - before.cpuSeconds) / (after.wallSeconds - before.wallSeconds);
}

// CPU (% of one core) and switches per second over kWindows windows while the
// event loop runs; prints the median and the spread.
void MeasureCpu(const char* what)
{
    std::vector<double> cpu, switches;
    for (int w = 0; w < kWindows; ++w) {
        const Usage before = UsageNow();
        Idle(gWindowSeconds * 1000);
        const Usage after = UsageNow();
        const double wall = after.wallSeconds - before.wallSeconds;
        cpu.push_back(100.0 * (after.cpuSeconds - before.cpuSeconds) / wall);
        switches.push_back((after.switches - before.switches) / wall);
    }
    std::vector<double> sorted = cpu;
    std::sort(sorted.begin(), sorted.end());
    std::printf("  %-46s %6.2f %%  (%.2f-%.2f)   %6.0f switches/s\n", what, Median(cpu), sorted.front(), sorted.back(),
                Median(switches));
}

struct Period {
    std::string what;
    int scanMs = 0;
    std::vector<int64_t> times;
    uint64_t longCycles = 0;  // logged ElapsedTime of the scan rate or more
    uint32_t longestMs = 0;
    int ticksOnARunningCycle = 0;
    double shortestRunAtSuchTickMs = 0;
};

// Scan ticks as the client sees them: a tick that finds the last cycle still
// running is skipped, and how long that cycle had run tells whether it was
// shorter than the scan rate (the logged ElapsedTime leaves out the cycle's
// start and its last log lines).
struct TickWatch {
    QElapsedTimer clock;
    double cycleStartMs = 0;
    int onARunningCycle = 0;
    double shortestRunMs = 0;
};
TickWatch gTicks;

void WatchedTimerEvent(int timerId)
{
    if (timerId == kScanTimerId) {
        const double now = static_cast<double>(gTicks.clock.nsecsElapsed()) / 1e6;
        if (!program.workerRunning.load()) {
            gTicks.cycleStartMs = now;
        } else {
            const double ran = now - gTicks.cycleStartMs;
            if (gTicks.onARunningCycle++ == 0 || ran < gTicks.shortestRunMs)
                gTicks.shortestRunMs = ran;
        }
    }
    DispatchTimerEvent(timerId);
}

// Valid reads whose logged ElapsedTime (the request sent to the values
// shown, nearly the whole cycle) reached ms: a tick may be skipped after them.
uint64_t ReadsAtLeast(uint32_t ms)
{
    uint64_t n = 0;
    for (uint32_t bin = ms; bin < kElapsedBins; ++bin)
        n += program.responseStats.elapsed[bin].load();
    return n;
}
std::vector<Period> gPeriods;

// Polls with the given block and formats at scanMs, the page in view, and
// measures; with one table, the cycle times on the wire are kept too. With
// a full log, the log holds its 300 lines from the start, as it does after
// the first 100 valid reads.
void Polling(ServerProcess& server, const char* what, int length, int scanMs, std::array<int, 4> formats, int page,
             bool fullLog = false)
{
    if (!Wanted(what))
        return;
    ShowPage(page);
    for (int i = 0; fullLog && i < 300; ++i)
        AppendLogLine("<> ElapsedTime: 12 [mS]", kDarkGrey);
    if (!Connect(length, scanMs, formats.data())) {
        std::printf("  %s: cannot connect\n", what);
        return;
    }
    Idle(2000);
    server.Clear();
    gTicks.onARunningCycle = 0;
    MeasureCpu(what);
    if (std::count(formats.begin(), formats.end(), 0) == 3)
        gPeriods.push_back({what, scanMs, server.RequestTimesUs(), ReadsAtLeast(static_cast<uint32_t>(scanMs)),
                            program.responseStats.highest.load(), gTicks.onARunningCycle, gTicks.shortestRunMs});
    Disconnect();
    DispatchControlEvent(IdClearLog);
    ShowPage(kPageCommunications);
}

void PrintPeriod(const Period& p)
{
    std::vector<double> intervals;
    int skipped = 0;
    for (size_t i = 1; i < p.times.size(); ++i) {
        const double ms = static_cast<double>(p.times[i] - p.times[i - 1]) / 1000.0;
        intervals.push_back(ms);
        if (ms > 1.5 * p.scanMs)
            skipped += static_cast<int>(ms / p.scanMs + 0.5) - 1;
    }
    if (intervals.empty())
        return;
    std::vector<double> sorted = intervals;
    std::sort(sorted.begin(), sorted.end());
    const double p95 = sorted[sorted.size() * 95 / 100];
    // The ratio over the whole run: skipped ticks count in it.
    const double total = static_cast<double>(p.times.back() - p.times.front()) / 1000.0;
    const double ratio = total / (static_cast<double>(intervals.size() + skipped) * p.scanMs);
    std::printf("  %-46s median %7.2f ms   p95 %7.2f ms   ratio %.4f   skipped %d of %zu ticks"
                "   (%llu cycles of %d ms or more, longest %u ms)\n",
                p.what.c_str(), Median(intervals), p95, ratio, skipped, intervals.size() + skipped,
                static_cast<unsigned long long>(p.longCycles), p.scanMs, p.longestMs);
    if (p.ticksOnARunningCycle > 0)
        std::printf("  %-46s %d ticks found a cycle running, which had run %.2f ms or more\n", "",
                    p.ticksOnARunningCycle, p.shortestRunAtSuchTickMs);
    else
        std::printf("  %-46s no tick found a cycle running\n", "");
}

double ThreadCpuUs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) / 1e3;
}

// GUI-thread CPU per log line, the log holding `lines` lines; as the worker
// writes them: request, response and time, then the cut to 300 and the
// scroll to the end after each valid read.
void LogLineCost(int lines, int page = kPageViewMessages)
{
    ShowPage(page);
    DispatchControlEvent(IdClearLog);
    const std::string request = "->: 12 bytes 00 04 00 00 00 06 01 03 00 00 00 0A";
    const std::string response = "<-: 29 bytes 00 04 00 00 00 17 01 03 14 00 01 00 02 00 03 00 04 00 05 00 06 00 "
                                 "07 00 08 00 09 00 0A";
    const bool valid = lines <= 300;  // no valid read, or the log would stay at 300
    for (int i = 0; i < lines; ++i)
        AppendLogLine(i % 3 == 0 ? request : response, i % 3 == 0 ? kBlue : kBlack);
    Idle(200);
    std::vector<double> costs;
    for (int i = 0; i < 600; ++i) {
        const double before = ThreadCpuUs();
        AppendLogLine(i % 3 == 0 ? request : "<> ElapsedTime: 12 [mS]", i % 3 == 0 ? kBlue : kDarkGrey);
        if (valid && i % 3 == 2) {
            TrimLog();
            ScrollLogToEnd();
        }
        QApplication::processEvents();
        costs.push_back(ThreadCpuUs() - before);
        // The worker's pace: the GUI thread idles between lines.
        Idle(2);
    }
    std::printf("  log %s, %4d lines%s   median %7.1f us   (%d lines now)\n",
                page == kPageViewMessages ? "in view    " : "out of view", lines,
                valid ? ", cut to 300 " : ", at the ceiling", Median(costs), EditorLineCount(IdMessageLog));
    if (page != kPageViewMessages) {
        // The lines that waited go in when the log is shown.
        const double before = ThreadCpuUs();
        ShowPage(kPageViewMessages);
        QApplication::processEvents();
        std::printf("      then shown, painted included               %7.1f us\n", ThreadCpuUs() - before);
    }
    DispatchControlEvent(IdClearLog);
    ShowPage(kPageCommunications);
}

// Plots the first `series` holding registers as u16, which opens the trend
// window and starts the sampling.
void PlotRegisters(int series)
{
    for (int row = 0; row < series; ++row)
        PlotCellValue(4, row, 0);
}

void CloseTrendWindow()
{
    if (QWidget* window = TrendWindow())
        window->close();
    Idle(200);
}

// What the trend window adds: the same polling without it and with it shown,
// one window each in turn, so that the machine's load falls on both alike.
void TrendCpu(ServerProcess& server)
{
    const char* what = "trend window, 4 series at 100 ms";
    if (!Wanted(what))
        return;
    const int formats[4] = {0, 0, 0, 3};
    if (!Connect(10, 100, formats)) {
        std::printf("  %s: cannot connect\n", what);
        return;
    }
    server.Clear();
    Idle(2000);
    std::vector<double> without, with;
    for (int w = 0; w < kWindows; ++w) {
        without.push_back(CpuOverWindow());
        PlotRegisters(4);
        Idle(1000);
        with.push_back(CpuOverWindow());
        CloseTrendWindow();
    }
    std::vector<double> rise;
    for (size_t w = 0; w < with.size(); ++w)
        rise.push_back(with[w] - without[w]);
    std::printf("  %-46s %6.2f %%  without it %.2f %%, rise %.2f points (%.2f-%.2f)\n", what, Median(with),
                Median(without), Median(rise), *std::min_element(rise.begin(), rise.end()),
                *std::max_element(rise.begin(), rise.end()));
    Disconnect();
    DispatchControlEvent(IdClearLog);
}

double RssMiB()
{
    long pages = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// RSS with the trend window showing 8 series of 10 registers at 10 ms, over
// six windows' time, with the points the store holds.
void TrendRss()
{
    const char* what = "trend RSS, 8 series at 10 ms";
    if (!Wanted(what))
        return;
    const int formats[4] = {0, 0, 0, 3};
    if (!Connect(10, 10, formats)) {
        std::printf("  %s: cannot connect\n", what);
        return;
    }
    const double before = RssMiB();
    PlotRegisters(8);
    std::printf("Trend window, 8 series of 10 holding registers at 10 ms (RSS before it opened %.1f MiB):\n", before);
    for (int w = 1; w <= 6; ++w) {
        Idle(gWindowSeconds * 1000);
        const SeriesStore* store = TrendSeriesStore();
        const size_t points = store && !store->series.empty() ? SeriesPoints(store->series[0]).size() : 0;
        std::printf("  after %4d s   RSS %7.1f MiB   %7zu points per series   %d valid reads\n", w * gWindowSeconds,
                    RssMiB(), points, program.validCount.load());
    }
    CloseTrendWindow();
    std::printf("  closed         RSS %7.1f MiB\n", RssMiB());
    Disconnect();
    DispatchControlEvent(IdClearLog);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 1)
        gWindowSeconds = std::max(1, std::atoi(argv[1]));
    if (argc > 2)
        gOnly = argv[2];
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    ServerProcess server;  // before Qt: the child must not inherit it
    if (server.Port() == 0) {
        std::fprintf(stderr, "bench_cpu: no server\n");
        return 1;
    }
    QApplication application(argc, argv);
    BenchClient client(server.Port());
    gTicks.clock.start();
    SetTimerEventHandler(WatchedTimerEvent);
    std::printf("Machine load (/proc/loadavg) at start: %s\n", LoadAverage().c_str());

    std::printf("CPU of the client, %% of one core (median of %d x %d s, spread):\n", kWindows, gWindowSeconds);
    Idle(2000);
    if (Wanted("not connected, idle"))
        MeasureCpu("not connected, idle");
    Polling(server, "10 holding registers at 100 ms", 10, 100, {0, 0, 0, 3}, kPageCommunications);
    Polling(server, "10 holding registers at 20 ms", 10, 20, {0, 0, 0, 3}, kPageCommunications);
    Polling(server, "four tables of 125 at 100 ms", 125, 100, {1, 1, 3, 2}, kPageCommunications);
    Polling(server, "10 holding registers at 100 ms, data in view", 10, 100, {0, 0, 0, 3}, kPageViewData);
    Polling(server, "10 holding registers at 100 ms, log in view", 10, 100, {0, 0, 0, 3}, kPageViewMessages);
    Polling(server, "10 holding registers at 100 ms, full log in view", 10, 100, {0, 0, 0, 3}, kPageViewMessages, true);
    Polling(server, "four tables of 125 at 100 ms, data in view", 125, 100, {1, 1, 3, 2}, kPageViewData);
    TrendCpu(server);

    std::printf("Cycles on the wire (one table):\n");
    for (const Period& p : gPeriods)
        PrintPeriod(p);

    if (Wanted("log line in view") || Wanted("log line out of view"))
        std::printf("GUI-thread CPU per log line, paint included:\n");
    if (Wanted("log line in view")) {
        LogLineCost(300);
        LogLineCost(2000);
    }
    if (Wanted("log line out of view")) {
        LogLineCost(300, kPageCommunications);
        LogLineCost(2000, kPageCommunications);
    }

    TrendRss();

    std::printf("Machine load (/proc/loadavg) at end: %s\n", LoadAverage().c_str());
    return 0;
}
