// The real window against the fake server: tests drive the buttons and the
// scan tick as the event loop would and watch the wire, the status bar, the
// log and the data list.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QWidget>

#include <unistd.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/dispatch.h"
#include "common/colours.h"
#include "engine/connection_control.h"
#include "engine/control_states.h"
#include "engine/data_tables.h"
#include "engine/message_log.h"
#include "engine/program_state.h"
#include "engine/transport_choice.h"
#include "tests/support/fake_modbus_server.h"
#include "ui/control_ids.h"
#include "ui/controls.h"
#include "ui/data_list.h"
#include "ui/editable_list.h"
#include "ui/gui_call.h"
#include "ui/main_window.h"
#include "ui/message_box.h"
#include "ui/text_panes.h"
#include "ui/window_timer.h"

using Bytes = std::vector<uint8_t>;

struct ShownMessage {
    std::string title, text;
};
inline std::vector<ShownMessage> gShownMessages;
inline void RecordMessage(const std::string& title, const std::string& text)
{
    gShownMessages.push_back({title, text});
}

struct LogLine {
    std::string text;
    Rgb colour;
};

class EngineTest : public testing::Test {
protected:
    void SetUp() override
    {
        // A working directory of our own: the settings file lands there.
        oldDir_ = std::filesystem::current_path();
        char dir[] = "/tmp/sorbel-engine-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        dir_ = dir;
        std::filesystem::current_path(dir_);

        ASSERT_TRUE(server.Listening());
        gShownMessages.clear();
        SetMessageBoxHook(RecordMessage);
        program.link.pendingWrites.Clear();
        program.pollCount = 0;
        program.validCount = 0;
        program.badCount = 0;
        program.stopRequest = false;
        program.deviceSettings = {};

        InstallHandlers();
        window.reset(BuildMainWindow());
        ASSERT_NE(window, nullptr);
        SetControlText(IdHostField, "127.0.0.1");
        SetControlText(IdPortField, std::to_string(server.Port()));
        SetControlText(IdUnitField, "1");
        SetControlText(IdStartField, "1");
        SetControlText(IdLengthField, "3");
        // Ticks are driven by the tests; the timer itself would come late.
        SetControlText(IdScanField, "600000");
        SetFormats({1, 1, 3, 2});
    }

    void TearDown() override
    {
        // Leave no worker, connection or timer to the next test.
        EXPECT_TRUE(WaitUntil([] { return !program.workerRunning.load(); }, 15000));
        AbandonConnecting();
        CloseConnection(program.link.connection.exchange(nullptr));
        program.link.state = LinkOff;
        program.link.lost = false;
        program.link.cycleDone = false;
        program.link.resting = false;
        program.stopRequest = false;
        program.deviceSettings = {};
        StopAllWindowTimers();
        window.reset();
        ClearControlRegistry();
        SetMessageBoxHook(nullptr);
        program.link.pendingWrites.Clear();
        std::filesystem::current_path(oldDir_);
        std::filesystem::remove_all(dir_);
    }

    // Processes events until done() holds; false after timeoutMs.
    static bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 5000)
    {
        QElapsedTimer timer;
        timer.start();
        while (!done()) {
            if (timer.elapsed() > timeoutMs)
                return false;
            QTest::qWait(2);
        }
        return true;
    }

    void SetFormats(std::array<int, 4> formats)
    {
        for (int t = 1; t <= 4; ++t)
            SetSelectorIndex(SelectorOfTable(t), formats[static_cast<size_t>(t - 1)]);
    }

    // A click as the user makes it: the button's own signal, ignored while
    // the button is disabled.
    void Click(int id)
    {
        auto* button = qobject_cast<QAbstractButton*>(FindControl(id));
        ASSERT_NE(button, nullptr) << "control " << id;
        button->click();
    }

    // A click on a connect button, and the wait for the connect it starts
    // off the GUI thread to end either way.
    void ClickConnect(int buttonId = IdConnectComms)
    {
        Click(buttonId);
        EXPECT_TRUE(WaitUntil([] { return program.link.state != LinkConnecting; }, 10000));
    }

    void Connect(int buttonId = IdConnectComms)
    {
        const int before = server.Accepted();
        ClickConnect(buttonId);
        ASSERT_NE(program.link.connection.load(), nullptr);
        ASSERT_TRUE(server.WaitForAccepted(before + 1));
    }

    // One tick of the scan timer, then the wait for its worker to end.
    void Tick() { DispatchTimerEvent(kScanTimerId); }
    void RunCycle()
    {
        Tick();
        ASSERT_TRUE(WaitUntil([] { return !program.workerRunning.load(); }, 20000));
    }

    void ShowViewDataPage()
    {
        auto* panel = qobject_cast<QTabWidget*>(FindControl(IdTabPanel));
        ASSERT_NE(panel, nullptr);
        panel->setCurrentIndex(1);
        QApplication::setActiveWindow(window.get());
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    // Double-click, then the keys, then Enter, as the user does it.
    void EditCell(int row, int column, const std::function<void(QLineEdit*)>& keys)
    {
        auto* view = qobject_cast<QTableView*>(FindControl(IdDataList));
        ASSERT_NE(view, nullptr);
        const QPoint centre = view->visualRect(view->model()->index(row, column)).center();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, centre);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, centre);
        QLineEdit* editor = OpenEditorField();
        ASSERT_NE(editor, nullptr) << "no editor on " << row << "," << column;
        keys(editor);
        QTest::keyClick(editor, Qt::Key_Return);
        EXPECT_EQ(OpenEditorField(), nullptr);
    }

    std::string Status(int field = StatusText) { return GetStatusField(field); }
    std::string Counters() { return Status(StatusPolls) + " " + Status(StatusValid) + " " + Status(StatusBad); }

    std::vector<LogLine> Log()
    {
        std::vector<LogLine> lines;
        auto* pane = qobject_cast<QPlainTextEdit*>(FindControl(IdMessageLog));
        SettleEditor(pane);
        if (!pane || pane->document()->isEmpty())
            return lines;
        for (QTextBlock b = pane->document()->begin(); b.isValid(); b = b.next()) {
            QColor c = b.begin() != b.end() ? b.begin().fragment().charFormat().foreground().color() : QColor();
            lines.push_back({b.text().toStdString(), Rgb{uint8_t(c.red()), uint8_t(c.green()), uint8_t(c.blue())}});
        }
        return lines;
    }
    std::vector<std::string> LogTexts()
    {
        std::vector<std::string> texts;
        for (const LogLine& l : Log())
            texts.push_back(l.text);
        return texts;
    }

    bool SettingsFileExists() const { return std::filesystem::exists(dir_ / "vidideze.conf"); }

    FakeModbusServer server;
    std::unique_ptr<QWidget> window;

private:
    std::filesystem::path oldDir_, dir_;
};

// A read request as this client builds it for unit 1, with transaction id
// 0: each request is given its own id as it goes out, which Unstamped takes
// off again.
inline Bytes ReadRequest(uint8_t table, uint16_t address, uint16_t quantity)
{
    static const uint8_t function[5] = {0, 2, 1, 4, 3};
    return {0,
            0,
            0,
            0,
            0,
            6,
            1,
            function[table],
            uint8_t(address >> 8),
            uint8_t(address),
            uint8_t(quantity >> 8),
            uint8_t(quantity)};
}

inline Bytes WriteRequest(uint8_t function, uint16_t address, uint16_t value)
{
    return {
        0, 0, 0, 0, 0, 6, 1, function, uint8_t(address >> 8), uint8_t(address), uint8_t(value >> 8), uint8_t(value)};
}

inline uint16_t IdOf(const Bytes& frame)
{
    return static_cast<uint16_t>(frame[0] << 8 | frame[1]);
}

inline std::vector<Bytes> Unstamped(std::vector<Bytes> frames)
{
    for (Bytes& frame : frames)
        frame[0] = frame[1] = 0;
    return frames;
}

// Queues a write as a cell edit does, for the device of the session.
inline void QueueWrite(const Bytes& frame)
{
    PendingWrite write;
    std::copy(frame.begin(), frame.end(), write.frame.begin());
    write.length = static_cast<int32_t>(frame.size());
    program.link.pendingWrites.Append(write, program.link.target);
}

inline bool StartsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}
