// The real window on RTU lines against the real simulator: a serial port
// on a pseudo-terminal pair, an RTU-over-TCP bridge, a reply corrupted on
// the way, and an adapter pulled out and plugged back in.
#include "engine_fixture.h"

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>

#include <atomic>
#include <cstdio>
#include <optional>
#include <thread>

#include "common/table_numbers.h"
#include "connection/serial_port.h"
#include "engine/write_value.h"
#include "modbus/framing.h"
#include "modbus/log_format.h"
#include "modbus/response_stats.h"
#include "tests/support/sim_process.h"
#include "tests/support/socat.h"

namespace {

constexpr int kStart = 100;  // wire addresses 100..105: clear of the live registers
constexpr int kLength = 6;

// A frame as the log shows it: its bytes and then their CRC, low byte first.
std::string WithCrc(Bytes frame)
{
    const uint16_t crc = RtuCrc(frame.data(), static_cast<int>(frame.size()));
    frame.push_back(static_cast<uint8_t>(crc));
    frame.push_back(static_cast<uint8_t>(crc >> 8));
    return std::to_string(frame.size()) + " bytes" + HexDump(frame.data(), static_cast<int>(frame.size()));
}

class SerialLine : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        SetControlText(IdStartField, std::to_string(kStart));
        SetControlText(IdLengthField, std::to_string(kLength));
        SetFormats({1, 1, 3, 2});  // Bit, Bit, Decimal, Hex
    }

    // As the user does it: the transport, then what it uses. A
    // pseudo-terminal takes no parity, so the line is 8N1.
    void ChooseTransport(TransportKind kind)
    {
        SetSelectorIndex(IdTransportSelector, kind);
        DispatchControlEvent(IdTransportSelector);
    }
    void ChooseSerialPort(const std::string& path)
    {
        ChooseTransport(TransportRtuSerial);
        SetControlText(IdSerialPortField, path);
        SetSelectorIndex(IdParitySelector, ParityNone);
    }

    // The simulator's pattern at kStart: inputs set where the address is a
    // multiple of 3, coils at even addresses, input registers hold their
    // address, holding registers 0.
    void ExpectStartPattern()
    {
        for (int r = 0; r < kLength; ++r) {
            const int address = kStart + r;
            EXPECT_EQ(GetCellText(r, 1), address % 3 == 0 ? "1" : "0") << r;
            EXPECT_EQ(GetCellText(r, 3), address % 2 == 0 ? "1" : "0") << r;
            EXPECT_EQ(GetCellText(r, 5), std::to_string(address)) << r;
            EXPECT_EQ(GetCellText(r, 7), "0000") << r;
        }
    }

    bool LogHas(const std::string& text)
    {
        for (const std::string& line : LogTexts())
            if (line.find(text) != std::string::npos)
                return true;
        return false;
    }
};

}  // namespace

TEST_F(SerialLine, OnlyTheChosenTransportsFieldsAreEnabledAndConnectedNoneIs)
{
    const int tcpFields[] = {IdHostField, IdPortField};
    // Through an RTU converter the command's text would go onto the bus.
    const int commandFields[] = {IdCommandField, IdSendCommand};
    const int serialFields[] = {IdSerialPortField, IdBaudSelector, IdParitySelector, IdStopBitsSelector};
    for (TransportKind kind : {TransportRtuSerial, TransportRtuOverTcp, TransportModbusTcp}) {
        ChooseTransport(kind);
        for (int id : tcpFields)
            EXPECT_EQ(IsControlEnabled(id), kind != TransportRtuSerial) << kind << " " << id;
        for (int id : commandFields)
            EXPECT_EQ(IsControlEnabled(id), kind == TransportModbusTcp) << kind << " " << id;
        for (int id : serialFields)
            EXPECT_EQ(IsControlEnabled(id), kind == TransportRtuSerial) << kind << " " << id;
    }
    ChooseTransport(TransportRtuOverTcp);
    Connect();
    for (int id : {IdTransportSelector, IdHostField, IdPortField, IdSendCommand, IdSerialPortField, IdBaudSelector})
        EXPECT_FALSE(IsControlEnabled(id)) << id;
    Click(IdConnectComms);
    EXPECT_TRUE(IsControlEnabled(IdHostField));
    EXPECT_FALSE(IsControlEnabled(IdSerialPortField));

    // A port that cannot be opened says why, in the usual message box.
    ChooseSerialPort("/dev/sorbel-no-such-tty");
    ClickConnect();
    EXPECT_EQ(program.link.connection.load(), nullptr);
    ASSERT_EQ(gShownMessages.size(), 1u);
    EXPECT_EQ(gShownMessages[0].title, "Zedudu ZUD Uredav");
    EXPECT_EQ(gShownMessages[0].text,
              "There is no serial device /dev/sorbel-no-such-tty (Is the adapter plugged in ?).");
    EXPECT_TRUE(IsControlEnabled(IdSerialPortField));
}

TEST_F(SerialLine, PollsWritesAndLogsEachFrameWithItsCrcOnAPseudoTerminalPair)
{
    SKIP_WITHOUT_SOCAT();
    Socat pair("pty,raw,echo=0,link=@/a", "pty,raw,echo=0,link=@/b");
    ASSERT_TRUE(pair.WaitFor("a") && pair.WaitFor("b"));
    SimProcess sim({"--rtu", pair.Path("a"), "--parity", "N"});
    ASSERT_TRUE(sim.Listening());
    ChooseSerialPort(pair.Path("b"));
    // Held by another program: the message says so, and nothing is opened.
    Connection* holder = OpenSerialPort({pair.Path("b"), 19200, ParityNone, 1}, nullptr);
    ASSERT_NE(holder, nullptr);
    ClickConnect();
    EXPECT_EQ(program.link.connection.load(), nullptr);
    ASSERT_EQ(gShownMessages.size(), 1u);
    EXPECT_EQ(gShownMessages[0].text, pair.Path("b") + " is busy: another program has it open.");
    CloseConnection(holder);

    ClickConnect();
    ASSERT_NE(program.link.connection.load(), nullptr);
    EXPECT_EQ(program.link.timing.silenceMicros, SerialLineTiming({"", 19200, ParityNone, 1}).silenceMicros);

    RunCycle();
    EXPECT_EQ(Status(), "Read Status: OK");
    EXPECT_EQ(Counters(), "Polls: 4 Valid: 4 Bad: 0");
    ExpectStartPattern();
    // Each frame as it went and came: no MBAP header, the CRC at the end.
    const std::vector<LogLine> log = Log();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[0].text, "->: " + WithCrc({1, 2, 0, kStart, 0, kLength}));
    EXPECT_EQ(log[0].colour, kBlue);
    EXPECT_EQ(log[1].text, "<-: " + WithCrc({1, 2, 1, 0x24}));  // inputs 102 and 105
    EXPECT_EQ(log[1].colour, kBlack);
    EXPECT_TRUE(StartsWith(log[2].text, "<> ElapsedTime: ")) << log[2].text;

    ShowViewDataPage();
    EditCell(1, 3, [](QLineEdit* editor) { QTest::keyClick(editor, Qt::Key_Up); });
    EditCell(2, 7, [](QLineEdit* editor) {
        editor->selectAll();
        QTest::keyClicks(editor, "beef");
    });
    RunCycle();
    EXPECT_EQ(program.badCount.load(), 0);
    EXPECT_TRUE(LogHas("POKE ->: " + WithCrc({1, 6, 0, kStart + 2, 0xBE, 0xEF})));
    EXPECT_TRUE(LogHas("<-: " + WithCrc({1, 5, 0, kStart + 1, 0xFF, 0})));
    RunCycle();
    EXPECT_EQ(GetCellText(1, 3), "1");
    EXPECT_EQ(GetCellText(2, 7), "BEEF");
    EXPECT_EQ(Counters(), "Polls: 14 Valid: 14 Bad: 0");

    // The adapter pulled out: a lost link in serial words, grey values, and
    // reconnect attempts with the back-off.
    const std::string a = pair.Path("a"), b = pair.Path("b");
    pair.Stop();
    RunCycle();
    ASSERT_TRUE(WaitUntil([] { return program.link.state == LinkDown; }));
    EXPECT_TRUE(LogHas("Serial port lost: "));
    EXPECT_TRUE(program.tableStale[TableHoldingRegisters - 1].load());
    ASSERT_TRUE(WaitUntil([this] { return LogHas("Reconnect attempt 1 failed: no such device"); }));
    EXPECT_TRUE(StartsWith(Status(), "Status: Link Down, reconnecting (attempt ")) << Status();

    // Plugged back in under the same name: the port is reopened by itself.
    std::filesystem::create_directory(std::filesystem::path(a).parent_path());
    Socat again("pty,raw,echo=0,link=" + a, "pty,raw,echo=0,link=" + b);
    ASSERT_TRUE(WaitUntil([&] { return access(a.c_str(), F_OK) == 0 && access(b.c_str(), F_OK) == 0; }));
    SimProcess sim2({"--rtu", a, "--parity", "N"});
    ASSERT_TRUE(sim2.Listening());
    ASSERT_TRUE(WaitUntil([] { return program.link.state == LinkUp; }, 10000));
    EXPECT_TRUE(LogHas("Reconnected to " + b));
    ASSERT_TRUE(WaitUntil([] { return !program.workerRunning.load(); }));
    RunCycle();
    EXPECT_EQ(Status(), "Read Status: OK");
    ExpectStartPattern();  // a new simulator
    again.Stop();
    std::filesystem::remove_all(std::filesystem::path(a).parent_path());
}

TEST_F(SerialLine, UnitZeroWritesAreBroadcastAndItsReadsAreNotSent)
{
    SKIP_WITHOUT_SOCAT();
    Socat pair("pty,raw,echo=0,link=@/a", "pty,raw,echo=0,link=@/b");
    ASSERT_TRUE(pair.WaitFor("a") && pair.WaitFor("b"));
    SimProcess sim({"--rtu", pair.Path("a"), "--parity", "N"});
    ASSERT_TRUE(sim.Listening());
    ChooseSerialPort(pair.Path("b"));
    SetControlText(IdUnitField, "0");
    ClickConnect();
    ASSERT_NE(program.link.connection.load(), nullptr);

    // Refused: one notice for the cycle, nothing counted, the values grey.
    RunCycle();
    EXPECT_EQ(Status(), "Status: Read Refused (unit 0 is broadcast)");
    EXPECT_EQ(Counters(), "Polls: 0 Valid: 0 Bad: 0");
    EXPECT_EQ(LogTexts(),
              std::vector<std::string>{"Reads not sent: unit 0 is the broadcast address, which no device answers"});
    EXPECT_TRUE(program.tableStale[TableInputRegisters - 1].load());

    ShowViewDataPage();
    EditCell(3, 7, [](QLineEdit* editor) {
        editor->selectAll();
        QTest::keyClicks(editor, "1234");
    });
    RunCycle();
    EXPECT_EQ(Counters(), "Polls: 1 Valid: 1 Bad: 0");
    EXPECT_EQ(Status(), "Read Status: OK");
    const std::vector<std::string> log = LogTexts();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[1], log[0]);
    EXPECT_EQ(log[2], "POKE ->: " + WithCrc({0, 6, 0, kStart + 3, 0x12, 0x34}));
    EXPECT_EQ(log[3], "POKE broadcast to unit 0: sent, no device answers");

    // The simulator carried it out.
    Click(IdConnectComms);
    SetControlText(IdUnitField, "1");
    ClickConnect();
    RunCycle();
    EXPECT_EQ(GetCellText(3, 7), "1234");
}

TEST_F(SerialLine, RtuOverTcpThroughABridgeReadsTheSameValues)
{
    SKIP_WITHOUT_SOCAT();
    const int port = FreeLoopbackPort();
    Socat bridge("tcp-listen:" + std::to_string(port) + ",reuseaddr,bind=127.0.0.1", "pty,raw,echo=0,link=@/pty");
    ChooseTransport(TransportRtuOverTcp);
    SetControlText(IdPortField, std::to_string(port));
    // The bridge takes one connection: no probe, the connect is retried
    // until it listens.
    for (int i = 0; i < 100 && !program.link.connection.load(); i++) {
        ClickConnect();
        if (!program.link.connection.load())
            QTest::qWait(20);
    }
    ASSERT_NE(program.link.connection.load(), nullptr);
    gShownMessages.clear();
    EXPECT_EQ(program.link.timing.silenceMicros, 0u);
    ASSERT_TRUE(bridge.WaitFor("pty"));
    SimProcess sim({"--rtu", bridge.Path("pty"), "--parity", "N"});
    ASSERT_TRUE(sim.Listening());

    RunCycle();
    EXPECT_EQ(Status(), "Read Status: OK");
    EXPECT_EQ(Counters(), "Polls: 4 Valid: 4 Bad: 0");
    ExpectStartPattern();
    EXPECT_EQ(LogTexts()[0], "->: " + WithCrc({1, 2, 0, kStart, 0, kLength}));

    // The write dialog previews the RTU frame that will go out.
    std::unique_ptr<QDialog> dialog(CreateWriteValueDialogFor(0, 7));
    ASSERT_NE(dialog, nullptr);
    dialog->findChild<QLineEdit*>(QStringLiteral("value"))->setText(QStringLiteral("7"));
    const std::string frame = dialog->findChild<QLabel*>(QStringLiteral("frame"))->text().toStdString();
    EXPECT_NE(frame.find(WithCrc({1, 6, 0, kStart, 0, 7})), std::string::npos) << frame;
}

TEST_F(SerialLine, AReplyCorruptedOnTheWayIsCountedBadAndNeverShown)
{
    SKIP_WITHOUT_SOCAT();
    // Client - pass-through - simulator, each hop a pseudo-terminal pair.
    Socat clientLine("pty,raw,echo=0,link=@/a", "pty,raw,echo=0,link=@/b");
    Socat simLine("pty,raw,echo=0,link=@/a", "pty,raw,echo=0,link=@/b");
    ASSERT_TRUE(clientLine.WaitFor("a") && clientLine.WaitFor("b") && simLine.WaitFor("a") && simLine.WaitFor("b"));
    SimProcess sim({"--rtu", simLine.Path("b"), "--parity", "N"});
    ASSERT_TRUE(sim.Listening());
    Connection* up = OpenSerialPort({clientLine.Path("b"), 19200, ParityNone, 1}, nullptr);
    Connection* down = OpenSerialPort({simLine.Path("a"), 19200, ParityNone, 1}, nullptr);
    ASSERT_TRUE(up && down);
    std::atomic<bool> stop{false}, corrupt{true};
    std::thread through([&] {
        uint8_t bytes[300];
        while (!stop) {
            int n = ReceiveWaiting(up, bytes, sizeof bytes);
            if (n > 0)
                SendData(down, bytes, n);
            if ((n = ReceiveWaiting(down, bytes, sizeof bytes)) > 0) {
                // A data byte changed, as line noise does: only the CRC tells.
                if (n > 4 && corrupt.exchange(false))
                    bytes[3] ^= 0x40;
                SendData(up, bytes, n);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });

    SetFormats({0, 0, 0, 2});
    ChooseSerialPort(clientLine.Path("a"));
    ClickConnect();
    ASSERT_NE(program.link.connection.load(), nullptr);
    RunCycle();
    EXPECT_EQ(Status(), "Status: Invalid Response (wrong CRC)");
    EXPECT_EQ(Counters(), "Polls: 1 Valid: 0 Bad: 1");
    for (int r = 0; r < kLength; ++r)
        EXPECT_EQ(GetCellText(r, 7), "") << r;
    ASSERT_GE(Log().size(), 2u);
    EXPECT_EQ(Log()[1].colour, kRed);
    const ResponseSummary summary = SummariseResponseStats(program.responseStats);
    EXPECT_EQ(summary.crc, 1u);
    EXPECT_NE(BadCausesText(summary).find("\n  wrong CRC: 1\n"), std::string::npos);

    RunCycle();
    EXPECT_EQ(Status(), "Read Status: OK");
    EXPECT_EQ(GetCellText(0, 7), "0000");

    stop = true;
    through.join();
    CloseConnection(up);
    CloseConnection(down);
}

TEST_F(SerialLine, APortOnWhichNothingAnswersIsToldOnce)
{
    SKIP_WITHOUT_SOCAT();
    // The far end open, but no device behind it: the port opens, and every
    // request goes unanswered.
    Socat pair("pty,raw,echo=0,link=@/a", "pty,raw,echo=0,link=@/b");
    ASSERT_TRUE(pair.WaitFor("a") && pair.WaitFor("b"));
    SetFormats({0, 0, 0, 2});
    ChooseSerialPort(pair.Path("b"));
    ClickConnect();
    ASSERT_NE(program.link.connection.load(), nullptr);
    auto told = [this, &pair] {
        int lines = 0;
        for (const std::string& line : LogTexts())
            lines += line.rfind("Nothing answers on " + pair.Path("b") + ": no reply to 3 requests.", 0) == 0;
        return lines;
    };
    RunCycle();
    RunCycle();
    EXPECT_EQ(told(), 0);
    RunCycle();
    EXPECT_EQ(Status(), "Status: Timeout Error");
    EXPECT_EQ(told(), 1);
    QLabel* notice = nullptr;
    for (QWidget* w : QApplication::allWidgets())
        if (w->objectName() == QLatin1String(kStatusNoticeName) && w->isVisible())
            notice = static_cast<QLabel*>(w);
    ASSERT_NE(notice, nullptr);
    EXPECT_TRUE(notice->text().endsWith("Is a device wired to this port, with this unit id, baud rate, parity and "
                                        "stop bits?"));
    RunCycle();
    EXPECT_EQ(told(), 1);
    notice->hide();
}
