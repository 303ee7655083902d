// Cell edits on the wire: queued by the editor, sent after the next
// cycle's reads, newest first, once each, only to the device they were
// typed for, the value typed last winning.
#include <QLabel>

#include "engine_fixture.h"

namespace {

class WritesTest : public EngineTest {
protected:
    // Types text into a Holding Registers cell and presses Enter.
    void TypeRegister(int row, const char* text)
    {
        EditCell(row, 7, [text](QLineEdit* editor) {
            editor->selectAll();
            QTest::keyClicks(editor, QString::fromLatin1(text));
        });
    }
};

}  // namespace

TEST_F(WritesTest, ACoilEditGoesOutAfterTheReadsAndTheNextReadShowsIt)
{
    SetFormats({0, 1, 0, 0});
    server.SetValue(2, 1, 0);
    Connect();
    ShowViewDataPage();
    RunCycle();
    ASSERT_EQ(GetCellText(0, 3), "0");

    EditCell(0, 3, [](QLineEdit* editor) { QTest::keyClick(editor, Qt::Key_Up); });
    EXPECT_EQ(program.link.pendingWrites.Size(), 1u);
    EXPECT_EQ(GetCellText(0, 3), "0");  // the old value until it is read back

    program.pollCount = 0;
    program.validCount = 0;
    program.badCount = 0;
    RunCycle();
    std::vector<Bytes> requests = Unstamped(server.Requests());
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[1], ReadRequest(2, 1, 3));
    EXPECT_EQ(requests[2], WriteRequest(5, 1, 0xFF00));
    EXPECT_EQ(program.link.pendingWrites.Size(), 0u);

    // The write is given the next id as it goes out, and logged with it.
    std::vector<LogLine> log = Log();
    ASSERT_EQ(log.size(), 9u);
    EXPECT_EQ(log[6].text, "POKE ->: 12 bytes 00 03 00 00 00 06 01 05 00 01 FF 00");
    EXPECT_EQ(log[6].colour, kBlue);
    EXPECT_EQ(log[7].text, "<-: 12 bytes 00 03 00 00 00 06 01 05 00 01 FF 00");
    EXPECT_EQ(log[7].colour, kBlack);
    EXPECT_TRUE(StartsWith(log[8].text, "<> ElapsedTime: "));
    EXPECT_EQ(log[8].colour, kDarkGrey);
    EXPECT_EQ(Status(), "Read Status: OK");
    EXPECT_EQ(Counters(), "Polls: 2 Valid: 2 Bad: 0");

    RunCycle();
    EXPECT_EQ(GetCellText(0, 3), "1");
}

TEST_F(WritesTest, TwoEditsWithinOneIntervalAreSentNewestFirst)
{
    SetFormats({0, 0, 0, 3});
    Connect();
    ShowViewDataPage();
    RunCycle();
    TypeRegister(0, "111");
    TypeRegister(1, "222");

    RunCycle();
    std::vector<Bytes> requests = Unstamped(server.Requests());
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[1], ReadRequest(4, 1, 3));
    EXPECT_EQ(requests[2], WriteRequest(6, 2, 222));
    EXPECT_EQ(requests[3], WriteRequest(6, 1, 111));
    RunCycle();
    EXPECT_EQ(GetCellText(0, 7), "111");
    EXPECT_EQ(GetCellText(1, 7), "222");
}

TEST_F(WritesTest, EveryOutcomeReleasesTheEntryAndNothingIsRetried)
{
    SetFormats({0, 0, 0, 3});
    Connect();
    QueueWrite(WriteRequest(6, 1, 1));              // A
    QueueWrite(WriteRequest(6, 2, 2));              // B, sent first
    server.Push(FakeReply::Normal());               // the read
    server.Push(FakeReply::Error(2));               // B
    server.Push(FakeReply::Raw(Bytes(600, 0x11)));  // A: bytes that are no reply
    server.Push(FakeReply::Never());                // next read
    RunCycle();
    EXPECT_EQ(Status(), "Status: Timeout Error");
    EXPECT_EQ(Counters(), "Polls: 3 Valid: 1 Bad: 2");
    EXPECT_EQ(program.link.pendingWrites.Size(), 0u);
    std::vector<LogLine> log = Log();
    ASSERT_GE(log.size(), 8u);
    EXPECT_EQ(log[4].text, "<-: 9 bytes 00 02 00 00 00 03 01 86 02");
    EXPECT_EQ(log[4].colour, kRed);
    for (size_t i = 7; i < log.size(); i++)
        EXPECT_TRUE(StartsWith(log[i].text, "IGNORED <-: ")) << log[i].text;

    // The refusal is told in a note that outlasts the status text, until a
    // key or a click.
    auto notice = [] {
        for (QWidget* w : QApplication::allWidgets())
            if (w->objectName() == QLatin1String(kStatusNoticeName) && w->isVisible())
                return static_cast<QLabel*>(w);
        return static_cast<QLabel*>(nullptr);
    };
    ASSERT_NE(notice(), nullptr);
    EXPECT_EQ(notice()->text(), "Write refused (6 Write Single Register): exception 2, Illegal Data Address.");

    // Nothing of them answers the next read; no write is sent again.
    RunCycle();
    EXPECT_EQ(Status(), "Status: Timeout Error");
    EXPECT_EQ(server.RequestCount(), 4u);
    ASSERT_NE(notice(), nullptr);
    QTest::keyClick(FindControl(IdHostField), Qt::Key_Shift);
    EXPECT_EQ(notice(), nullptr);

    // A write that is never answered times out; the next one still goes.
    QueueWrite(WriteRequest(6, 3, 3));
    QueueWrite(WriteRequest(6, 4, 4));
    server.Push(FakeReply::Normal());
    server.Push(FakeReply::Never());
    RunCycle();
    EXPECT_EQ(Status(), "Read Status: OK");
    std::vector<Bytes> requests = Unstamped(server.Requests());
    ASSERT_EQ(requests.size(), 7u);
    EXPECT_EQ(requests[5], WriteRequest(6, 4, 4));
    EXPECT_EQ(requests[6], WriteRequest(6, 3, 3));
    EXPECT_EQ(Counters(), "Polls: 7 Valid: 3 Bad: 4");
}

TEST_F(WritesTest, AWriteQueuedBeforeADisconnectGoesOutAfterTheNextConnect)
{
    SetFormats({0, 1, 0, 0});
    Connect();
    QueueWrite(WriteRequest(5, 2, 0));
    Click(IdConnectComms);
    ASSERT_EQ(program.link.connection.load(), nullptr);
    EXPECT_EQ(program.link.pendingWrites.Size(), 1u);
    EXPECT_EQ(server.RequestCount(), 0u);

    Connect();
    RunCycle();
    EXPECT_EQ(Unstamped(server.Requests()), (std::vector<Bytes>{ReadRequest(2, 1, 3), WriteRequest(5, 2, 0)}));
}

TEST_F(WritesTest, AWriteLeftUnansweredByALostLinkIsNotSentAgain)
{
    SetFormats({0, 0, 0, 3});
    Connect();
    QueueWrite(WriteRequest(6, 1, 1));
    server.Push(FakeReply::Normal());
    server.Push(FakeReply::Hangup(false));  // the write arrives, the server goes
    RunCycle();
    EXPECT_EQ(Status(), "Status: Connection Lost");
    const std::vector<std::string> log = LogTexts();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], "Connection lost: the server closed it");
    EXPECT_EQ(log.back(), "POKE sent, but the connection was lost before its answer: not sent again");
    EXPECT_EQ(program.link.pendingWrites.Size(), 0u);

    // Back by itself; the next cycles read and write nothing else.
    ASSERT_TRUE(WaitUntil([] { return program.link.state == LinkUp && !program.workerRunning.load(); }));
    RunCycle();
    int writes = 0;
    for (const Bytes& request : server.Requests())
        writes += request[7] == 6;
    EXPECT_EQ(writes, 1);
}

TEST_F(WritesTest, TheValueTypedLastIsTheValueLeftOnTheDevice)
{
    SetFormats({0, 0, 0, 3});
    Connect();
    ShowViewDataPage();
    RunCycle();
    TypeRegister(0, "5");
    TypeRegister(1, "6");
    TypeRegister(0, "7");
    RunCycle();
    EXPECT_EQ(server.Value(4, 1), 7);
    EXPECT_EQ(server.Value(4, 2), 6);
    // The 5 was replaced in the queue before anything went out.
    int writes = 0;
    for (const Bytes& request : server.Requests())
        writes += request[7] == 6;
    EXPECT_EQ(writes, 2);
}

TEST_F(WritesTest, AWriteTypedForOneDeviceNeverReachesAnother)
{
    // The link to A drops; a register is edited while the client tries to
    // bring it back; then the user disconnects and connects to B.
    SetFormats({0, 0, 0, 3});
    Connect();
    ShowViewDataPage();
    RunCycle();
    server.SetListening(false);
    RunCycle();
    ASSERT_TRUE(WaitUntil([] { return program.link.state == LinkDown; }));
    TypeRegister(0, "42");
    ASSERT_EQ(program.link.pendingWrites.Size(), 1u);
    Click(IdConnectComms);
    ASSERT_EQ(program.link.state, LinkOff);

    FakeModbusServer b;
    SetControlText(IdPortField, std::to_string(b.Port()));
    ClickConnect();
    ASSERT_EQ(program.link.state, LinkUp);
    RunCycle();
    EXPECT_EQ(program.link.pendingWrites.Size(), 0u);
    EXPECT_EQ(Unstamped(b.Requests()), std::vector<Bytes>{ReadRequest(4, 1, 3)});
    const std::string dropped = "POKE dropped: typed for 127.0.0.1:" + std::to_string(server.Port()) +
                                " unit 1, connecting to 127.0.0.1:" + std::to_string(b.Port()) +
                                " unit 1: 06 00 01 00 2A";
    int seen = 0;
    for (const LogLine& line : Log())
        seen += line.text == dropped && line.colour == kRed;
    EXPECT_EQ(seen, 1);

    // Back to A with another unit id: a write typed for B goes nowhere either.
    QueueWrite(WriteRequest(6, 1, 43));
    Click(IdConnectComms);
    server.SetListening(true);
    SetControlText(IdPortField, std::to_string(server.Port()));
    SetControlText(IdUnitField, "2");
    ClickConnect();
    RunCycle();
    EXPECT_EQ(program.link.pendingWrites.Size(), 0u);
    for (const Bytes& request : server.Requests())
        EXPECT_NE(request[7], 6);
}
