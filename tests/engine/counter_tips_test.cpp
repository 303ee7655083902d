// Response times and causes of bad responses, kept while polling the fake
// server, reset by a connect and by "Clear Log and Counters", and shown on
// the counter fields.
#include <QHelpEvent>
#include <QLabel>
#include <QToolTip>

#include <regex>

#include "engine/counter_tips.h"
#include "engine/tips_and_menus.h"
#include "engine_fixture.h"

namespace {

class CounterTipsTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        RegisterTipAndMenuHandlers();
    }

    ResponseSummary Summary() { return SummariseResponseStats(program.responseStats); }

    // The ElapsedTime of each valid response, as logged after its black line
    // (the values shown included).
    std::vector<uint32_t> LoggedValidTimes()
    {
        std::vector<uint32_t> times;
        const std::vector<LogLine> log = Log();
        for (size_t i = 1; i < log.size(); i++)
            if (log[i - 1].colour == kBlack && StartsWith(log[i].text, "<> ElapsedTime: "))
                times.push_back(static_cast<uint32_t>(std::stoul(log[i].text.substr(16))));
        return times;
    }
};

}  // namespace

TEST_F(CounterTipsTest, EachOutcomeCountsUnderItsCause)
{
    SetFormats({0, 0, 0, 3});
    server.Push(FakeReply::Normal());
    server.Push(FakeReply::Error(2));
    server.Push(FakeReply::Error(11));
    server.Push(FakeReply::Sized(5));
    server.Push(FakeReply::Delayed(20));
    server.Push(FakeReply::Never());
    server.Push(FakeReply::Patched({{6, 9}}));  // another unit's
    server.Push(FakeReply::Hangup(true));
    Connect();
    for (int i = 0; i < 8; i++)
        RunCycle();
    ASSERT_EQ(Counters(), "Polls: 8 Valid: 2 Bad: 6");

    const ResponseSummary s = Summary();
    const std::vector<uint32_t> logged = LoggedValidTimes();
    ASSERT_EQ(logged.size(), 2u);
    EXPECT_EQ(s.valid, 2u);
    // The device's time, request sent to reply received: the 20 ms of the
    // late one, without the log's time for showing the three values.
    EXPECT_GE(s.last, 20u);
    EXPECT_LE(s.last, logged[1]);
    EXPECT_EQ(s.highest, s.last);
    EXPECT_GE(logged[0], s.lowest + 3);
    EXPECT_EQ(s.timeouts, 1u);
    EXPECT_EQ(s.wrongLength, 1u);
    EXPECT_EQ(s.invalid, 1u);
    EXPECT_EQ(s.linkLost, 1u);
    EXPECT_EQ(s.exceptions, (std::vector<std::pair<uint8_t, uint64_t>>{{2, 1}, {11, 1}}));

    // Hovering a counter field asks for its tip then.
    auto* field = qobject_cast<QLabel*>(window->childAt(380, 550));
    ASSERT_NE(field, nullptr);
    QHelpEvent hover(QEvent::ToolTip, QPoint(5, 5), field->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(field, &hover);
    EXPECT_EQ(QToolTip::text().toStdString(), CounterFieldTip(StatusValid));
    QToolTip::hideText();
}

TEST_F(CounterTipsTest, AConnectAndTheClearStartTheFiguresAfresh)
{
    SetFormats({0, 0, 0, 3});
    server.Push(FakeReply::Error(3));
    Connect();
    RunCycle();
    RunCycle();
    EXPECT_EQ(Summary().valid, 1u);
    EXPECT_EQ(Summary().bad(), 1u);

    // Reconnecting keeps the counters but not the figures, and the tips say
    // since when they count.
    Click(IdConnectComms);
    Connect();
    EXPECT_EQ(Counters(), "Polls: 2 Valid: 1 Bad: 1");
    EXPECT_EQ(Summary().valid + Summary().bad(), 0u);
    const std::regex connected(
        "Since connected at [0-2][0-9]:[0-5][0-9]:[0-5][0-9]\nResponse time of 0 valid responses");
    EXPECT_TRUE(std::regex_match(CounterFieldTip(StatusValid), connected)) << CounterFieldTip(StatusValid);

    RunCycle();
    EXPECT_EQ(Summary().valid, 1u);
    Click(IdClearLog);
    const std::regex cleared(
        "Since cleared at [0-2][0-9]:[0-5][0-9]:[0-5][0-9]\nResponse time of 0 valid responses\n0 bad responses");
    EXPECT_TRUE(std::regex_match(CounterFieldTip(StatusPolls), cleared)) << CounterFieldTip(StatusPolls);
}
