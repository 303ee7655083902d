// Cell edits on the wire: queued by the editor, sent after the next
// cycle's reads, newest first, once each.
#include <QLabel>

#include "engine_fixture.h"

namespace {

class WritesTest : public EngineTest {
protected:
    static PendingWrite Write(uint8_t function, uint16_t address, uint16_t value)
    {
        PendingWrite w;
        Bytes frame = WriteRequest(function, address, value);
        std::copy(frame.begin(), frame.end(), w.Frame.begin());
        return w;
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
    EXPECT_EQ(program.pendingWrites.Size(), 1u);
    EXPECT_EQ(GetCellText(0, 3), "0");  // the old value until it is read back

    program.pollCount = 0;
    program.validCount = 0;
    program.badCount = 0;
    RunCycle();
    std::vector<Bytes> requests = server.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[1], ReadRequest(2, 1, 3));
    EXPECT_EQ(requests[2], WriteRequest(5, 1, 0xFF00));
    EXPECT_EQ(program.pendingWrites.Size(), 0u);

    std::vector<LogLine> log = Log();
    ASSERT_EQ(log.size(), 9u);
    EXPECT_EQ(log[6].text, "POKE ->: 12 bytes 00 64 00 00 00 06 01 05 00 01 FF 00");
    EXPECT_EQ(log[6].colour, kBlue);
    EXPECT_EQ(log[7].text, "<-: 12 bytes 00 64 00 00 00 06 01 05 00 01 FF 00");
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
    auto type = [](const char* text) {
        return [text](QLineEdit* editor) {
            editor->selectAll();
            QTest::keyClicks(editor, QString::fromLatin1(text));
        };
    };
    EditCell(0, 7, type("111"));
    EditCell(1, 7, type("222"));

    RunCycle();
    std::vector<Bytes> requests = server.Requests();
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
    program.pendingWrites.Append(Write(6, 1, 1));   // A
    program.pendingWrites.Append(Write(6, 2, 2));   // B, sent first
    server.Push(FakeReply::Normal());               // the read
    server.Push(FakeReply::Error(2));               // B
    server.Push(FakeReply::Raw(Bytes(600, 0x11)));  // A: bytes that are no reply
    server.Push(FakeReply::Never());                // next read
    RunCycle();
    EXPECT_EQ(Status(), "Status: Timeout Error");
    EXPECT_EQ(Counters(), "Polls: 3 Valid: 1 Bad: 2");
    EXPECT_EQ(program.pendingWrites.Size(), 0u);
    std::vector<LogLine> log = Log();
    ASSERT_GE(log.size(), 8u);
    EXPECT_EQ(log[4].text, "<-: 9 bytes 00 64 00 00 00 03 01 86 02");
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
    program.pendingWrites.Append(Write(6, 3, 3));
    program.pendingWrites.Append(Write(6, 4, 4));
    server.Push(FakeReply::Normal());
    server.Push(FakeReply::Never());
    RunCycle();
    EXPECT_EQ(Status(), "Read Status: OK");
    std::vector<Bytes> requests = server.Requests();
    ASSERT_EQ(requests.size(), 7u);
    EXPECT_EQ(requests[5], WriteRequest(6, 4, 4));
    EXPECT_EQ(requests[6], WriteRequest(6, 3, 3));
    EXPECT_EQ(Counters(), "Polls: 7 Valid: 3 Bad: 4");
}

TEST_F(WritesTest, AWriteQueuedBeforeADisconnectGoesOutAfterTheNextConnect)
{
    SetFormats({0, 1, 0, 0});
    Connect();
    program.pendingWrites.Append(Write(5, 2, 0));
    Click(IdConnectComms);
    ASSERT_EQ(program.connection.load(), nullptr);
    EXPECT_EQ(program.pendingWrites.Size(), 1u);
    EXPECT_EQ(server.RequestCount(), 0u);

    Connect();
    RunCycle();
    EXPECT_EQ(server.Requests(), (std::vector<Bytes>{ReadRequest(2, 1, 3), WriteRequest(5, 2, 0)}));
}

TEST_F(WritesTest, AWriteLeftUnansweredByALostLinkIsNotSentAgain)
{
    SetFormats({0, 0, 0, 3});
    Connect();
    program.pendingWrites.Append(Write(6, 1, 1));
    server.Push(FakeReply::Normal());
    server.Push(FakeReply::Hangup(false));  // the write arrives, the server goes
    RunCycle();
    EXPECT_EQ(Status(), "Status: Connection Lost");
    const std::vector<std::string> log = LogTexts();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], "Connection lost: the server closed it");
    EXPECT_EQ(log.back(), "POKE sent, but the connection was lost before its answer: not sent again");
    EXPECT_EQ(program.pendingWrites.Size(), 0u);

    // Back by itself; the next cycles read and write nothing else.
    ASSERT_TRUE(WaitUntil([] { return program.link == LinkUp && !program.workerRunning.load(); }));
    RunCycle();
    int writes = 0;
    for (const Bytes& request : server.Requests())
        writes += request[7] == 6;
    EXPECT_EQ(writes, 1);
}
