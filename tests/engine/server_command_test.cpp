// The server command: a short connection of its own, the text and nothing
// else, silent whatever happens.
#include "engine_fixture.h"

namespace {

class ServerCommandTest : public EngineTest {};

}  // namespace

TEST_F(ServerCommandTest, SendsExactlyTheTextOnAConnectionOfItsOwn)
{
    SetStatusField(StatusText, "Read Status: OK");
    ASSERT_EQ(GetControlText(IdCommandField), "quit");  // the field's initial text
    Click(IdSendCommand);
    ASSERT_TRUE(server.WaitForClosed(1));
    EXPECT_EQ(server.ConnectionBytes(0), (Bytes{'q', 'u', 'i', 't'}));
    EXPECT_EQ(program.link.connection.load(), nullptr);

    // An empty text: connected, nothing sent, closed.
    SetControlText(IdCommandField, "");
    Click(IdSendCommand);
    ASSERT_TRUE(server.WaitForClosed(2));
    EXPECT_TRUE(server.ConnectionBytes(1).empty());

    // Nothing else changes: no message, status, log, counters or settings.
    EXPECT_TRUE(gShownMessages.empty());
    EXPECT_EQ(Status(), "Read Status: OK");
    EXPECT_EQ(Counters(), "Polls: 0 Valid: 0 Bad: 0");
    EXPECT_TRUE(Log().empty());
    EXPECT_FALSE(SettingsFileExists());
    EXPECT_TRUE(IsControlEnabled(IdHostField));
}

TEST_F(ServerCommandTest, NoServerShowsNothingAndConnectedClicksDoNothing)
{
    int deadPort;
    {
        FakeModbusServer gone;
        deadPort = gone.Port();
    }
    SetControlText(IdPortField, std::to_string(deadPort));
    Click(IdSendCommand);
    EXPECT_TRUE(gShownMessages.empty());
    EXPECT_EQ(Status(), "Read Status: Not Connected");

    SetControlText(IdPortField, std::to_string(server.Port()));
    SetFormats({0, 0, 0, 0});
    Connect();
    EXPECT_FALSE(IsControlEnabled(IdSendCommand));
    DispatchControlEvent(IdSendCommand);  // the action's own guard
    QTest::qWait(100);
    EXPECT_EQ(server.Accepted(), 1);
    EXPECT_NE(program.link.connection.load(), nullptr);
}
