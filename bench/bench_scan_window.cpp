// The Scan window (offscreen) against the simulator, as its own process,
// at the window's default time-out and gap, only unit 1 answering:
//   how freely the GUI thread runs during a scan of units 1-247: a 10 ms
//     timer on it, the median and longest time between its ticks (the GUI
//     thread never waits on the network, so the longest is far below the
//     time-out of a silent unit);
//   how soon Stop ends a scan: the time from the click to the scan's end,
//     over `--stops N` (default 20) scans stopped after 0 to 490 ms, as a
//     median and largest, and as a ratio to the time-out.
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

#include <chrono>

#include "engine/device_scan.h"
#include "polling_harness.h"
#include "tests/support/sim_process.h"
#include "ui/scan_window.h"

namespace {

double Ms(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

template <class T>
T* Part(const char* name)
{
    return ScanWindow()->findChild<T*>(QLatin1String(name));
}

void StartScan()
{
    Part<QSpinBox>("firstUnit")->setValue(1);
    Part<QSpinBox>("lastUnit")->setValue(247);
    Part<QPushButton>("unitsStart")->click();
}

void GuiThreadDuringScan()
{
    std::vector<double> gaps;
    auto last = std::chrono::steady_clock::now();
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        const auto now = std::chrono::steady_clock::now();
        gaps.push_back(Ms(now - last));
        last = now;
    });
    const auto start = std::chrono::steady_clock::now();
    StartScan();
    last = std::chrono::steady_clock::now();
    timer.start(10);
    RunLoopUntil([] { return !DeviceScanRunning(); }, 600000);
    timer.stop();
    std::printf("scan of units 1-247 (unit 1 answers): %.1f s, %s\n",
                Ms(std::chrono::steady_clock::now() - start) / 1000, ScanStatus(ScanTabUnits).c_str());
    std::printf("  GUI thread, 10 ms timer: %zu ticks, median %.1f ms, longest %.1f ms between ticks\n", gaps.size(),
                Median(gaps), Largest(gaps));
}

void StopLatency(int stops)
{
    const double timeout = Part<QSpinBox>("timeout")->value();
    std::vector<double> latencies;
    for (int i = 0; i < stops; i++) {
        StartScan();
        const auto wait =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(i * 490 / std::max(1, stops - 1));
        RunLoopUntil([wait] { return std::chrono::steady_clock::now() >= wait; }, 5000);
        const auto click = std::chrono::steady_clock::now();
        Part<QPushButton>("unitsStop")->click();
        RunLoopUntil([] { return !DeviceScanRunning(); }, 60000);
        latencies.push_back(Ms(std::chrono::steady_clock::now() - click));
    }
    std::printf("Stop to the scan's end over %d scans: median %.1f ms, largest %.1f ms; time-out %.0f ms (ratio "
                "%.2f, %.2f)\n",
                stops, Median(latencies), Largest(latencies), timeout, Median(latencies) / timeout,
                Largest(latencies) / timeout);
}

}  // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const int stops = argc > 2 && std::string(argv[1]) == "--stops" ? std::max(1, std::atoi(argv[2])) : 20;
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QApplication application(argc, argv);
    SimProcess sim({"--port", "0", "--units", "1"});
    if (!sim.Listening()) {
        std::fprintf(stderr, "bench_scan_window: the simulator did not start\n");
        return 1;
    }
    BenchClient client(static_cast<uint16_t>(sim.Port()));
    DispatchControlEvent(IdScanButton);
    if (!ScanWindow()) {
        std::fprintf(stderr, "bench_scan_window: no Scan window\n");
        return 1;
    }
    GuiThreadDuringScan();
    StopLatency(stops);
    return 0;
}
