// What the polling benchmarks share: the real window (offscreen) against the
// tests' fake server on loopback, driven as the user drives it.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/dispatch.h"
#include "engine/program_state.h"
#include "tests/support/fake_modbus_server.h"
#include "ui/control_ids.h"
#include "ui/controls.h"
#include "ui/gui_call.h"
#include "ui/main_window.h"
#include "ui/message_box.h"
#include "ui/text_panes.h"

inline double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

inline double Largest(const std::vector<double>& values)
{
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

inline void RunLoopUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
}

inline bool Connected()
{
    return program.link.connection.load() != nullptr;
}

inline bool Disconnected()
{
    return !Connected() && !program.workerRunning.load();
}

// Sets the block, the scan rate and the four formats, then clicks
// "Connect / Disconnect"; true when connected.
inline bool Connect(int length, int scanMs, const int formats[4])
{
    SetControlText(IdLengthField, std::to_string(length));
    SetControlText(IdScanField, std::to_string(scanMs));
    for (int t = 1; t <= 4; ++t)
        SetSelectorIndex(SelectorOfTable(t), formats[t - 1]);
    DispatchControlEvent(IdConnectComms);
    // The connect runs off the GUI thread.
    RunLoopUntil([] { return program.link.state != LinkConnecting; }, 10000);
    return Connected();
}

inline void Disconnect()
{
    DispatchControlEvent(IdConnectComms);  // direct, or once the cycle has ended
    RunLoopUntil(Disconnected, 30000);
}

// The milliseconds of every "<> ElapsedTime" line in the log.
inline std::vector<double> LoggedElapsedTimes()
{
    std::vector<double> times;
    const int lines = EditorLineCount(IdMessageLog);
    for (int i = 0; i < lines; ++i) {
        std::string text = EditorLineText(IdMessageLog, i);
        if (text.rfind("<> ElapsedTime: ", 0) == 0)
            times.push_back(std::atof(text.c_str() + 16));
    }
    return times;
}

// The window pointed at a server on 127.0.0.1:port, in a working directory
// of its own (connecting saves the settings there), removed again at the end.
class BenchClient {
public:
    explicit BenchClient(uint16_t port)
    {
        InitGuiCalls();
        SetMessageBoxHook(
            [](const std::string&, const std::string& text) { std::fprintf(stderr, "bench: %s\n", text.c_str()); });
        oldDir_ = std::filesystem::current_path();
        char dir[] = "/tmp/sorbel-bench-XXXXXX";
        if (mkdtemp(dir)) {
            dir_ = dir;
            std::filesystem::current_path(dir_);
        }
        InstallHandlers();
        window_.reset(BuildMainWindow());
        SetControlText(IdHostField, "127.0.0.1");
        SetControlText(IdPortField, std::to_string(port));
    }
    ~BenchClient()
    {
        window_.reset();
        ClearControlRegistry();
        std::filesystem::current_path(oldDir_);
        if (!dir_.empty())
            std::filesystem::remove_all(dir_);
    }
    BenchClient(const BenchClient&) = delete;
    BenchClient& operator=(const BenchClient&) = delete;

private:
    std::filesystem::path oldDir_, dir_;
    std::unique_ptr<QWidget> window_;
};

// The window pointed at a fake server in this process.
class BenchWindow {
public:
    BenchWindow() : client_(server.Port()) {}

    FakeModbusServer server;

private:
    BenchClient client_;
};
