// Poll cycles on the wire and in the window: requests, values, log lines,
// status texts and counters, for good and for bad servers.
#include <chrono>
#include <thread>

#include "engine_fixture.h"

namespace {

class PollingTest : public EngineTest {};

const Rgb kGrey = kDarkGrey;

}  // namespace

TEST_F(PollingTest, ACycleReadsTheFourTablesInOrderAndShowsEverything)
{
    server.SetValue(1, 1, 1);
    server.SetValue(1, 2, 0);
    server.SetValue(1, 3, 1);
    server.SetValue(2, 1, 0);
    server.SetValue(2, 2, 1);
    server.SetValue(2, 3, 1);
    server.SetValue(3, 1, 65535);
    server.SetValue(3, 2, 0);
    server.SetValue(3, 3, 12);
    server.SetValue(4, 1, 0x00AF);
    server.SetValue(4, 2, 0xFFFE);
    server.SetValue(4, 3, 0);
    Connect();
    RunCycle();

    EXPECT_EQ(Unstamped(server.Requests()), (std::vector<Bytes>{ReadRequest(1, 1, 3), ReadRequest(2, 1, 3),
                                                                ReadRequest(3, 1, 3), ReadRequest(4, 1, 3)}));
    const char* expected[3][4] = {{"1", "0", "65535", "00AF"}, {"0", "1", "0", "FFFE"}, {"1", "1", "12", "0000"}};
    for (int r = 0; r < 3; ++r)
        for (int t = 0; t < 4; ++t)
            EXPECT_EQ(GetCellText(r, 2 * t + 1), expected[r][t]) << "row " << r << " table " << t + 1;

    std::vector<LogLine> log = Log();
    ASSERT_EQ(log.size(), 12u);
    EXPECT_EQ(log[0].text, "->: 12 bytes 00 01 00 00 00 06 01 02 00 01 00 03");
    EXPECT_EQ(log[1].text, "<-: 10 bytes 00 01 00 00 00 04 01 02 01 05");
    EXPECT_EQ(log[9].text, "->: 12 bytes 00 04 00 00 00 06 01 03 00 01 00 03");
    EXPECT_EQ(log[10].text, "<-: 15 bytes 00 04 00 00 00 09 01 03 06 00 AF FF FE 00 00");
    for (size_t i = 0; i < log.size(); i += 3) {
        EXPECT_EQ(log[i].colour, kBlue) << i;
        EXPECT_EQ(log[i + 1].colour, kBlack) << i;
        EXPECT_TRUE(StartsWith(log[i + 2].text, "<> ElapsedTime: ")) << log[i + 2].text;
        EXPECT_EQ(log[i + 2].colour, kGrey) << i;
    }
    EXPECT_EQ(Status(), "Read Status: OK");
    EXPECT_EQ(Counters(), "Polls: 4 Valid: 4 Bad: 0");

    // The next cycle counts on, and so do the transaction ids.
    RunCycle();
    EXPECT_EQ(Counters(), "Polls: 8 Valid: 8 Bad: 0");
    std::vector<uint16_t> ids;
    for (const Bytes& request : server.Requests())
        ids.push_back(IdOf(request));
    EXPECT_EQ(ids, (std::vector<uint16_t>{1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST_F(PollingTest, OnlyTheEnabledTablesAreReadWithTheOffsetAppliedFromTheCycleStart)
{
    SetFormats({0, 0, 0, 3});
    SetControlText(IdStartField, "100");
    Connect();
    RunCycle();
    // The offset switch stays usable while connected; the next cycle uses it.
    SetCheckState(IdOffsetCheck, 1);
    RunCycle();
    EXPECT_EQ(Unstamped(server.Requests()), (std::vector<Bytes>{ReadRequest(4, 100, 3), ReadRequest(4, 99, 3)}));
    EXPECT_EQ(GetCellText(0, 7), "99");
    EXPECT_EQ(Counters(), "Polls: 2 Valid: 2 Bad: 0");
}

TEST_F(PollingTest, ExceptionResponsesAreRedAndSetTheirStatusText)
{
    SetFormats({0, 0, 0, 3});
    server.Push(FakeReply::Error(2));
    server.Push(FakeReply::Error(11));
    server.Push(FakeReply::Normal());
    server.Push(FakeReply::Error(3, false));  // function byte 03, not 83: no exception
    Connect();

    RunCycle();
    EXPECT_EQ(Status(), "Read Error: Wrong Address");
    RunCycle();
    EXPECT_EQ(Status(), "Read Error: Wrong Address");  // code 11 has no text of its own
    RunCycle();
    EXPECT_EQ(Status(), "Read Status: OK");
    RunCycle();
    EXPECT_EQ(Status(), "Status: Invalid Response (wrong byte count)");
    EXPECT_EQ(Counters(), "Polls: 4 Valid: 1 Bad: 3");

    std::vector<LogLine> log = Log();
    ASSERT_EQ(log.size(), 12u);
    EXPECT_EQ(log[1].text, "<-: 9 bytes 00 01 00 00 00 03 01 83 02");
    EXPECT_EQ(log[1].colour, kRed);
    EXPECT_EQ(log[4].text, "<-: 9 bytes 00 02 00 00 00 03 01 83 0B");
    EXPECT_EQ(log[4].colour, kRed);
    EXPECT_EQ(log[10].text, "<-: 9 bytes 00 04 00 00 00 03 01 03 03");
    EXPECT_EQ(log[10].colour, kRed);
    EXPECT_TRUE(StartsWith(log[11].text, "<> ElapsedTime: "));
}

TEST_F(PollingTest, LateAndSplitRepliesAreEachMatchedToTheirOwnRequest)
{
    // A gateway that answers every request 20 ms late, one Input Registers
    // read 1.5 s late, past the time-out, and replies in two pieces.
    SetFormats({0, 0, 3, 3});
    for (int a = 1; a <= 3; ++a) {
        server.SetValue(3, a, static_cast<uint16_t>(300 + a));
        server.SetValue(4, a, static_cast<uint16_t>(400 + a));
    }
    server.SetDefault(FakeReply::Delayed(20));
    server.Push(FakeReply::Delayed(1500));
    Connect();

    // The late reply comes while the Holding Registers read waits: it is
    // logged as ignored, and that read still gets its own reply.
    RunCycle();
    EXPECT_EQ(Counters(), "Polls: 2 Valid: 1 Bad: 1");
    EXPECT_EQ(GetCellText(0, 5), "");
    EXPECT_EQ(GetCellText(0, 7), "401");
    bool ignoredSeen = false;
    for (const LogLine& line : Log())
        if (StartsWith(line.text, "IGNORED <-: 15 bytes 00 01 ")) {
            ignoredSeen = true;
            EXPECT_EQ(line.colour, kGrey);
        }
    EXPECT_TRUE(ignoredSeen);

    server.Push(FakeReply::Split(7, 50));
    server.Push(FakeReply::Split(3, 50));
    for (int cycle = 0; cycle < 2; ++cycle) {
        RunCycle();
        for (int r = 0; r < 3; ++r) {
            EXPECT_EQ(GetCellText(r, 5), std::to_string(301 + r)) << "cycle " << cycle;
            EXPECT_EQ(GetCellText(r, 7), std::to_string(401 + r)) << "cycle " << cycle;
        }
    }
    EXPECT_EQ(Counters(), "Polls: 6 Valid: 5 Bad: 1");
}

TEST_F(PollingTest, RepliesThatDoNotAnswerTheRequestAreNeverShown)
{
    SetFormats({0, 0, 0, 3});
    Connect();
    RunCycle();
    ASSERT_EQ(GetCellText(2, 7), "3");

    // Anything taken now would show 9.
    for (int a = 1; a <= 3; ++a)
        server.SetValue(4, a, 9);
    const std::pair<FakeReply, const char*> wrong[] = {
        {FakeReply::Patched({{6, 2}}), "Status: Invalid Response (wrong unit id)"},
        {FakeReply::Patched({{7, 4}}), "Status: Invalid Response (wrong function code)"},
        {FakeReply::Patched({{8, 4}}), "Status: Invalid Response (wrong byte count)"},
        {FakeReply::Patched({{8, 8}}), "Status: Invalid Response (wrong byte count)"},
        {FakeReply::RawWithId(ReadRequest(4, 1, 3)), "Status: Invalid Response (echo of the request)"},
        {FakeReply::Patched({{1, 3}}), "Status: Timeout Error"},  // an earlier request's id
    };
    // A value cell's colour: none of its own, or the grey of a stale table.
    auto greyed = [this] {
        auto* view = qobject_cast<QTableView*>(FindControl(IdDataList));
        return view->model()->index(2, 7).data(Qt::ForegroundRole).isValid();
    };
    EXPECT_FALSE(greyed());
    for (const auto& [reply, status] : wrong) {
        server.Push(reply);
        RunCycle();
        EXPECT_EQ(Status(), status);
        EXPECT_EQ(GetCellText(2, 7), "3") << status;
        EXPECT_TRUE(greyed()) << status;
    }
    EXPECT_EQ(Counters(), "Polls: 7 Valid: 1 Bad: 6");
    const std::vector<LogLine> log = Log();
    EXPECT_EQ(log[4].colour, kRed);  // the wrong unit's reply, logged in red
    EXPECT_TRUE(StartsWith(log[4].text, "<-: 15 bytes 00 02 00 00 00 09 02 03")) << log[4].text;

    RunCycle();
    EXPECT_EQ(GetCellText(2, 7), "9");
    EXPECT_FALSE(greyed());
}

TEST_F(PollingTest, ALostLinkSaysSoAndComesBackByItself)
{
    SetFormats({0, 0, 0, 3});
    SetControlText(IdScanField, "100");
    Connect();
    ASSERT_TRUE(WaitUntil([&] { return server.RequestCount() >= 2; }));

    // The server goes away: closed connections, refused connects.
    server.SetListening(false);
    ASSERT_TRUE(WaitUntil([&] { return StartsWith(Status(), "Status: Link Down, reconnecting (attempt 2)"); }));
    EXPECT_EQ(program.link.connection.load(), nullptr);
    // Still connected as the user sees it.
    EXPECT_FALSE(IsControlEnabled(IdHostField));
    EXPECT_TRUE(IsControlEnabled(IdConnectComms));
    EXPECT_TRUE(IsWindowTimerActive(kScanTimerId));
    const std::vector<LogLine> down = Log();
    int lost = 0, failed = 0;
    for (const LogLine& line : down) {
        // Closed, or reset when the close found our request unread.
        lost += StartsWith(line.text, "Connection lost: ") && line.colour == kRed;
        failed += line.text == "Reconnect attempt 1 failed: connection refused";
    }
    EXPECT_EQ(lost, 1);
    EXPECT_EQ(failed, 1);
    // No poll while the link is down: every poll has its outcome.
    EXPECT_EQ(program.pollCount.load(), program.validCount.load() + program.badCount.load());

    // A write made meanwhile waits, and goes out once after the reconnect.
    QueueWrite(WriteRequest(6, 1, 42));
    const size_t before = server.RequestCount();
    server.SetListening(true);
    ASSERT_TRUE(WaitUntil([&] { return server.RequestCount() >= before + 3; }, 10000));
    EXPECT_EQ(server.Value(4, 1), 42);
    int writes = 0;
    for (const Bytes& request : server.Requests())
        writes += request[7] == 6;
    EXPECT_EQ(writes, 1);
    EXPECT_TRUE(WaitUntil([&] { return Status() == "Read Status: OK"; }));

    // Disconnect stops it all at once, also while the link is down.
    server.SetListening(false);
    ASSERT_TRUE(WaitUntil([&] { return StartsWith(Status(), "Status: Link Down"); }));
    Click(IdConnectComms);
    EXPECT_EQ(Status(), "Read Status: Not Connected");
    EXPECT_FALSE(IsWindowTimerActive(kLinkTimerId));
    EXPECT_EQ(program.link.state, LinkOff);
}

TEST_F(PollingTest, DisconnectDuringACycleEndsItAfterTheTransactionInProgress)
{
    server.SetDefault(FakeReply::Delayed(150));
    Connect();
    QueueWrite(WriteRequest(6, 1, 42));

    Tick();
    ASSERT_TRUE(WaitUntil([&] { return server.RequestCount() >= 1; }));
    ASSERT_TRUE(program.workerRunning.load());
    SetStatusField(StatusText, "Read Status: OK");
    Click(IdConnectMessages);

    // Pending: the buttons grey out, the connection stays for the cycle.
    EXPECT_EQ(Status(), "Read Status: Connected");
    EXPECT_FALSE(IsControlEnabled(IdConnectComms));
    EXPECT_FALSE(IsControlEnabled(IdConnectData));
    EXPECT_FALSE(IsControlEnabled(IdConnectMessages));
    EXPECT_NE(program.link.connection.load(), nullptr);
    Click(IdConnectComms);  // disabled: nothing happens
    Tick();                 // the worker still runs: nothing happens either

    // The read under way ends as usual; no further read or write follows,
    // and the disconnect comes with the first tick after it.
    ASSERT_TRUE(WaitUntil([] { return program.link.connection.load() == nullptr; }, 10000));
    EXPECT_EQ(server.RequestCount(), 1u);
    EXPECT_EQ(Counters(), "Polls: 1 Valid: 1 Bad: 0");
    EXPECT_EQ(program.link.pendingWrites.Size(), 1u);  // sent after the next connect
    EXPECT_FALSE(program.stopRequest);
    EXPECT_EQ(Status(), "Read Status: Not Connected");
    EXPECT_TRUE(IsControlEnabled(IdConnectComms));
    EXPECT_TRUE(IsControlEnabled(IdConnectData));
    EXPECT_TRUE(IsControlEnabled(IdConnectMessages));
    EXPECT_TRUE(IsControlEnabled(IdHostField));
    EXPECT_FALSE(IsWindowTimerActive(kScanTimerId));
    EXPECT_TRUE(server.WaitForClosed(1));
    EXPECT_EQ(server.RequestCount(), 1u);
}

TEST_F(PollingTest, AHugeBlockAnsweredWithOneValueShowsNothingAndDisconnectsPromptly)
{
    // Length 65535, read in 525 requests of at most 125 registers, and a
    // server that answers one register whatever it is asked: no part is
    // valid, so nothing is shown.
    SetFormats({0, 0, 0, 3});
    SetControlText(IdLengthField, "65535");
    server.SetDefault(FakeReply::RawWithId({0, 0, 0, 0, 0, 5, 1, 3, 2, 0x12, 0x34}));
    Connect();
    SetCellText(1, 7, "9");
    RunCycle();
    EXPECT_EQ(Status(), "Status: Not Read: Holding Registers 1-65535");
    EXPECT_EQ(GetCellText(0, 7), "");
    EXPECT_EQ(GetCellText(1, 7), "9");
    EXPECT_EQ(Counters(), "Polls: 525 Valid: 0 Bad: 525");

    // A disconnect in the middle of the parts ends the cycle after the
    // request under way.
    Tick();
    ASSERT_TRUE(WaitUntil([&] { return server.RequestCount() >= 527; }));
    Click(IdConnectComms);
    ASSERT_TRUE(WaitUntil([] { return program.link.connection.load() == nullptr; }, 10000));
    EXPECT_LT(server.RequestCount(), 1000u);
}

TEST_F(PollingTest, ADisconnectDuringALongTableFillShowsTheRestAtOnce)
{
    // A pause long enough that the fill would outlast the test unless the
    // disconnect cuts it short.
    SetValuePause([] { std::this_thread::sleep_for(std::chrono::milliseconds(50)); });
    SetFormats({0, 1, 0, 0});
    SetControlText(IdLengthField, "2000");
    server.SetValue(2, 2000, 1);
    Connect();
    Tick();
    ASSERT_TRUE(WaitUntil([] { return !GetCellText(1, 3).empty(); }));
    Click(IdConnectComms);
    EXPECT_TRUE(WaitUntil([] { return program.link.connection.load() == nullptr; }, 10000));
    SetValuePause(nullptr);
    EXPECT_EQ(GetCellText(1999, 3), "1");
    EXPECT_EQ(server.RequestCount(), 1u);
}

TEST_F(PollingTest, TheLogStaysUnderItsCeilingWhileNoReadSucceeds)
{
    // Three lines a poll (request, exception, time) and nothing that cuts
    // them: only the ceiling holds the log. Queued writes (to registers of
    // their own, or each would replace the one before) make many polls in
    // one cycle.
    server.SetDefault(FakeReply::Error(2));
    Connect();
    for (uint16_t i = 0; i < 700; ++i)
        QueueWrite(WriteRequest(6, i, 42));
    RunCycle();
    std::vector<std::string> log = LogTexts();
    EXPECT_EQ(log.size(), 2000u);
    EXPECT_TRUE(StartsWith(log.back(), "<> ElapsedTime: ")) << log.back();
    EXPECT_EQ(Counters(), "Polls: 704 Valid: 0 Bad: 704");
}

TEST_F(PollingTest, TheRealTimerPollsRepeatedlyAndClearingMidCycleIsHarmless)
{
    SetFormats({1, 1, 1, 1});
    SetControlText(IdScanField, "10");
    server.SetDefault(FakeReply::Delayed(2));
    Connect();
    for (int round = 0; round < 5; ++round) {
        ASSERT_TRUE(WaitUntil([&] { return server.RequestCount() >= 8u * (round + 1); }));
        Click(IdClearLog);
    }
    Click(IdConnectComms);  // deferred or direct, whichever the moment gives
    ASSERT_TRUE(WaitUntil([] { return program.link.connection.load() == nullptr; }));

    // With no transaction under way and no clear since the last one began,
    // every poll has exactly one outcome.
    program.pollCount = 0;
    program.validCount = 0;
    program.badCount = 0;
    Connect();
    ASSERT_TRUE(WaitUntil([&] { return program.pollCount.load() >= 12; }));
    Click(IdConnectComms);
    ASSERT_TRUE(WaitUntil([] { return program.link.connection.load() == nullptr; }));
    EXPECT_EQ(program.pollCount.load(), program.validCount.load() + program.badCount.load());
    EXPECT_EQ(program.badCount.load(), 0);
}

TEST_F(PollingTest, ALateAnswerIsNeverTakenForALaterRequest)
{
    // Every value is the number of the request it answers; the first
    // request's exception comes 1.2 s late, while the next one waits.
    SetFormats({0, 0, 0, 3});
    server.SetNumberInValues(true);
    FakeReply late = FakeReply::Error(4);
    late.delayMs = 1200;
    server.Push(late);
    Connect();
    RunCycle();
    EXPECT_EQ(Status(), "Status: Timeout Error");
    RunCycle();
    EXPECT_EQ(Status(), "Read Status: OK");
    EXPECT_EQ(GetCellText(0, 7), "2");
    EXPECT_EQ(Counters(), "Polls: 2 Valid: 1 Bad: 1");
    const ResponseSummary figures = SummariseResponseStats(program.responseStats);
    EXPECT_EQ(figures.timeouts, 1u);
    EXPECT_TRUE(figures.exceptions.empty());
    bool ignored = false;
    for (const std::string& line : LogTexts())
        ignored |= line == "IGNORED <-: 9 bytes 00 01 00 00 00 03 01 83 04";
    EXPECT_TRUE(ignored);
}

TEST_F(PollingTest, AReplyToARequestOfTheLostConnectionIsNotTakenOnTheNextOne)
{
    SetFormats({0, 0, 0, 3});
    server.SetValue(4, 1, 7);
    Connect();
    RunCycle();  // id 1
    // The server goes with the next request; after the reconnect a gateway
    // hands over the late answer to request 1 (values 99) before its own.
    server.Push(FakeReply::Hangup(false));
    server.Push(FakeReply::StrayFirst({0, 1, 0, 0, 0, 9, 1, 3, 6, 0, 99, 0, 99, 0, 99}));
    RunCycle();
    ASSERT_TRUE(WaitUntil([] { return program.validCount.load() >= 2 && !program.workerRunning.load(); }));
    EXPECT_EQ(server.Accepted(), 2);
    EXPECT_EQ(GetCellText(0, 7), "7");
    EXPECT_EQ(IdOf(server.Requests().back()), 3);
}

TEST_F(PollingTest, ALinkThatNeverAnswersIsRetriedOneThenTwoSecondsApartStartToStart)
{
    // Each connection is closed 0.7 s after it was accepted, unanswered:
    // lost before any valid reply, each counts as a failed attempt.
    SetFormats({0, 0, 0, 3});
    server.SetDefault(FakeReply::Never());
    server.SetConnectionLimit(-1, 700);
    Connect();
    Tick();
    ASSERT_TRUE(WaitUntil([&] { return server.Accepted() >= 3; }, 10000));
    // Timers never fire early, and start to start the pauses are 1 s and
    // 2 s; counted from each failure they would be 0.7 s longer.
    const std::vector<int64_t> accepted = server.AcceptTimesUs();
    const int64_t first = accepted[1] - accepted[0], second = accepted[2] - accepted[1];
    EXPECT_GE(first, 950000);
    EXPECT_LT(first, 1500000);
    EXPECT_GE(second, 1950000);
    EXPECT_LT(second, 2500000);
    EXPECT_TRUE(StartsWith(Status(), "Status: Link Down, reconnecting (attempt 2)") ||
                Status() == "Status: Connection Lost")
        << Status();
    Click(IdConnectComms);
    EXPECT_TRUE(WaitUntil([] { return program.link.state == LinkOff; }, 5000));
}

TEST_F(PollingTest, ADeviceThatAllowsOneTransactionPerConnectionGetsEveryTableAndTheWriteOnce)
{
    server.SetConnectionLimit(1);
    SetControlText(IdScanField, "100");
    Connect();
    QueueWrite(WriteRequest(6, 2, 4242));
    auto reads = [this](int function) {
        int n = 0;
        for (const Bytes& request : server.Requests())
            n += request[7] == function;
        return n;
    };
    ASSERT_TRUE(WaitUntil([&] { return reads(2) >= 3 && reads(1) >= 3 && reads(4) >= 3 && reads(3) >= 3; }, 20000));
    Click(IdConnectComms);
    ASSERT_TRUE(WaitUntil([] { return program.link.state == LinkOff; }, 5000));
    EXPECT_EQ(reads(6), 1);
    EXPECT_EQ(server.Value(4, 2), 4242);
    EXPECT_EQ(program.link.pendingWrites.Size(), 0u);
    // Every table was read on some connection of its own.
    for (int column : {1, 3, 5, 7})
        EXPECT_FALSE(GetCellText(0, column).empty()) << column;
}
