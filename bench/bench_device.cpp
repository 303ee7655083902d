// The device settings at work against awkward devices: the simulator with
// its quirks (a read limit, writes by 16 only, replies as unit 0, slow
// replies) and the fake server for the request gap. Prints what came of each:
// values right, bad responses, request sizes, write functions, time-outs,
// the shortest gap; and whether a file of untouched settings gained a key.
//
//   bench_device [text]   only the cases whose name contains the text
#include <QApplication>

#include <array>
#include <fstream>
#include <sstream>

#include "bench/polling_harness.h"
#include "engine/cell_edit.h"
#include "engine/message_log.h"
#include "tests/support/sim_process.h"
#include "ui/data_list.h"
#include "ui/editable_list.h"

namespace {

std::string gOnly;

bool Wanted(const std::string& what)
{
    return what.find(gOnly) != std::string::npos;
}

void RunCycles(int cycles)
{
    for (int i = 0; i < cycles; i++) {
        DispatchTimerEvent(kScanTimerId);
        RunLoopUntil([] { return !program.workerRunning.load(); }, 60000);
    }
}

// The log's request lines ("->: " and "POKE ->: "), as their bytes.
std::vector<std::vector<int>> LoggedRequests(const char* prefix)
{
    std::vector<std::vector<int>> requests;
    for (int i = 0; i < EditorLineCount(IdMessageLog); i++) {
        const std::string line = EditorLineText(IdMessageLog, i);
        if (line.rfind(prefix, 0) != 0)
            continue;
        std::istringstream bytes(line.substr(line.find("bytes") + 5));
        std::vector<int> frame;
        for (std::string hex; bytes >> hex;)
            frame.push_back(std::stoi(hex, nullptr, 16));
        requests.push_back(frame);
    }
    return requests;
}

int LogLinesWith(const std::string& text)
{
    int n = 0;
    for (int i = 0; i < EditorLineCount(IdMessageLog); i++)
        n += EditorLineText(IdMessageLog, i).find(text) != std::string::npos ? 1 : 0;
    return n;
}

// The simulator with quirks on a free port, and the window pointed at it.
struct SimBench {
    explicit SimBench(std::vector<std::string> quirks)
        : sim(WithFreePort(std::move(quirks))), client(static_cast<uint16_t>(sim.Port()))
    {
    }
    static std::vector<std::string> WithFreePort(std::vector<std::string> quirks)
    {
        quirks.insert(quirks.begin(), {"--port", "0"});
        return quirks;
    }
    SimProcess sim;
    BenchClient client;
};

// Connects with the settings, the log and the counters cleared; ticks are
// the bench's own.
bool ConnectWith(const DeviceSettings& settings, int length, std::array<int, 4> formats)
{
    program.deviceSettings = settings;
    ClearLogAndCounters();
    return Connect(length, 600000, formats.data());
}

// Length 125 of Input and Holding Registers from a device that serves 100
// registers a read. Input register a holds a; holding registers past 2 hold 0.
void ReadLimit()
{
    SimBench bench({"--max-registers", "100"});
    DeviceSettings settings;
    settings.maxRegisters = 100;
    if (!ConnectWith(settings, 125, {0, 0, 3, 3}))
        return;
    RunCycles(5);
    int right = 0;
    for (int r = 0; r < 125; r++) {
        right += GetCellText(r, 5) == std::to_string(r + 1) ? 1 : 0;
        right += r < 2 || GetCellText(r, 7) == "0" ? 1 : 0;
    }
    int longest = 0;
    for (const auto& frame : LoggedRequests("->: "))
        longest = std::max(longest, frame[10] << 8 | frame[11]);
    std::printf("read limit 100, Length 125, MaxRegisters=100: %d of 250 values right, bad %d, valid %d, longest "
                "request %d registers\n",
                right, program.badCount.load(), program.validCount.load(), longest);
    Disconnect();
}

// A double-click edit of a holding register on a device that takes only 16.
void OnlyFunction16()
{
    SimBench bench({"--only-fc16"});
    DeviceSettings settings;
    settings.singleWrites = true;
    if (!ConnectWith(settings, 10, {0, 0, 0, 3}))
        return;
    RunCycles(1);
    // The edit as the list reports it: begin, the text typed, commit.
    HandleCellEdit(EditBegin, IdDataList, 7, 5, "");
    SetCellText(5, 7, "4321");
    HandleCellEdit(EditCommit, -1, -1, -1, "");
    RunCycles(2);
    int by16 = 0, by6 = 0;
    for (const auto& frame : LoggedRequests("POKE ->: ")) {
        by16 += frame[7] == 16 ? 1 : 0;
        by6 += frame[7] == 6 ? 1 : 0;
    }
    std::printf("only function 16, SingleWrites=1: writes by 16 %d, by 6 %d, read back %s (typed 4321), bad %d\n", by16,
                by6, GetCellText(5, 7).c_str(), program.badCount.load());
    Disconnect();
}

// A gateway answering as unit 0; the client on unit 1.
void AnswersAsUnit0()
{
    SimBench bench({"--answer-unit", "0"});
    for (bool any : {false, true}) {
        DeviceSettings settings;
        settings.anyUnitId = any;
        if (!ConnectWith(settings, 10, {0, 0, 3, 0}))
            return;
        RunCycles(5);
        int right = 0;
        for (int r = 0; r < 10; r++)
            right += GetCellText(r, 5) == std::to_string(r + 1) ? 1 : 0;
        std::printf("answers as unit 0, AnyUnitId=%d: %d of 10 values right, valid %d, bad %d, log lines naming "
                    "unit 0: %d\n",
                    any ? 1 : 0, any ? right : 0, program.validCount.load(), program.badCount.load(),
                    LogLinesWith("the device answers as unit 0"));
        Disconnect();
        SetCellText(0, 5, "");
    }
}

// Every reply 1.5 s late, Timeout=2500, over ten cycles.
void SlowReplies()
{
    SimBench bench({"--delay", "1500"});
    DeviceSettings settings;
    settings.timeoutMs = 2500;
    if (!ConnectWith(settings, 10, {0, 0, 0, 3}))
        return;
    RunCycles(10);
    std::printf("replies 1.5 s late, Timeout=2500: %d cycles, valid %d, bad %d (time-outs)\n", 10,
                program.validCount.load(), program.badCount.load());
    Disconnect();
}

// RequestGap=200 against replies sent 20 ms after each request: the time
// from each reply's last byte to the next request, as the server sees it.
void RequestGap()
{
    BenchWindow bench;
    bench.server.SetDefault(FakeReply::Delayed(20));
    DeviceSettings settings;
    settings.requestGapMs = 200;
    if (!ConnectWith(settings, 10, {1, 1, 3, 3}))
        return;
    RunCycles(5);
    const std::vector<int64_t> times = bench.server.RequestTimesUs();
    std::vector<double> gaps;
    for (size_t i = 1; i < times.size(); i++)
        gaps.push_back(static_cast<double>(times[i] - times[i - 1] - 20000) / 1000.0);
    std::sort(gaps.begin(), gaps.end());
    std::printf("RequestGap=200: %zu gaps from a reply's end to the next request, shortest %.1f ms, median %.1f ms\n",
                gaps.size(), gaps.empty() ? 0.0 : gaps.front(), Median(gaps));
    Disconnect();
}

// A user who never opens the window: the file written at connect.
void UntouchedFile()
{
    BenchWindow bench;
    if (!ConnectWith(DeviceSettings{}, 10, {1, 0, 0, 0}))
        return;
    std::ifstream file("vidideze.conf", std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    int lines = 0;
    for (char c : text.str())
        lines += c == '\n' ? 1 : 0;
    int deviceKeys = 0;
    for (const DeviceKeyRange& key : kDeviceKeys)
        deviceKeys += text.str().find(key.name) != std::string::npos ? 1 : 0;
    std::printf("untouched settings: the file has %d lines, %d device keys\n", lines, deviceKeys);
    Disconnect();
}

}  // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (argc > 1)
        gOnly = argv[1];
    QApplication application(argc, argv);
    if (Wanted("read limit"))
        ReadLimit();
    if (Wanted("only 16"))
        OnlyFunction16();
    if (Wanted("unit 0"))
        AnswersAsUnit0();
    if (Wanted("slow"))
        SlowReplies();
    if (Wanted("gap"))
        RequestGap();
    if (Wanted("file"))
        UntouchedFile();
    return 0;
}
