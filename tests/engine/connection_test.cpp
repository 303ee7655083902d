// Connecting and disconnecting through the window's buttons.
#include "engine_fixture.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <fstream>
#include <sstream>

namespace {

const int kParameterControls[] = {1, 2, 3, 4, 5, 6, 8, 9, 10, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23};
const int kAlwaysEnabled[] = {IdConnectComms, IdOffsetCheck,     IdDataList, IdConnectData,
                              IdMessageLog,   IdConnectMessages, IdClearLog};

class ConnectionTest : public EngineTest {
protected:
    void ExpectParametersEnabled(bool enabled)
    {
        for (int id : kParameterControls)
            EXPECT_EQ(IsControlEnabled(id), enabled) << "control " << id;
        for (int id : kAlwaysEnabled)
            EXPECT_TRUE(IsControlEnabled(id)) << "control " << id;
    }
};

// A port nothing listens on: taken from a server that is gone again.
int DeadPort()
{
    FakeModbusServer gone;
    return gone.Port();
}

}  // namespace

TEST_F(ConnectionTest, AFailedConnectShowsTheMessageAndChangesNothingElse)
{
    program.pollCount = 5;
    RefreshCounterFields();
    SetControlText(IdPortField, std::to_string(DeadPort()));

    ClickConnect(IdConnectComms);
    ASSERT_EQ(gShownMessages.size(), 1u);
    EXPECT_EQ(gShownMessages[0].title, "Zedudu ZUD Uredav");
    EXPECT_EQ(gShownMessages[0].text, "Can't find the server (Is it launched ?).");
    EXPECT_EQ(program.link.connection.load(), nullptr);
    EXPECT_EQ(Status(), "Read Status: Not Connected");
    EXPECT_EQ(Status(StatusPolls), "Polls: 5");
    EXPECT_FALSE(IsWindowTimerActive(kScanTimerId));
    EXPECT_FALSE(SettingsFileExists());
    EXPECT_EQ(DataListRowCount(), 0);
    ExpectParametersEnabled(true);

    // An empty port field is port 0, which never connects.
    SetControlText(IdPortField, "");
    ClickConnect(IdConnectData);
    EXPECT_EQ(gShownMessages.size(), 2u);
    EXPECT_EQ(program.link.connection.load(), nullptr);
    EXPECT_FALSE(SettingsFileExists());
}

TEST_F(ConnectionTest, ConnectAndDisconnectSwitchTheControlsAndSaveTheSettings)
{
    program.pollCount = 7;
    SetControlText(IdScanField, "250");
    Connect(IdConnectComms);

    EXPECT_TRUE(gShownMessages.empty());
    EXPECT_EQ(Status(), "Read Status: Connected");
    EXPECT_EQ(Status(StatusPolls), "Polls: 7");  // shown, not reset
    ExpectParametersEnabled(false);
    EXPECT_EQ(DataListRowCount(), 3);
    EXPECT_EQ(GetCellText(0, 6), "40001");
    EXPECT_TRUE(IsWindowTimerActive(kScanTimerId));
    EXPECT_EQ(WindowTimerInterval(kScanTimerId), 250);

    ASSERT_TRUE(SettingsFileExists());
    std::ifstream file("vidideze.conf", std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    EXPECT_NE(content.str().find("Port = " + std::to_string(server.Port()) + "\r\n"), std::string::npos);
    EXPECT_NE(content.str().find("ScanRate = 250\r\n"), std::string::npos);

    // Any of the three buttons disconnects.
    Click(IdConnectMessages);
    EXPECT_EQ(program.link.connection.load(), nullptr);
    EXPECT_EQ(Status(), "Read Status: Not Connected");
    EXPECT_FALSE(IsWindowTimerActive(kScanTimerId));
    ExpectParametersEnabled(true);
    EXPECT_TRUE(server.WaitForClosed(1));
    // Disconnecting leaves rows and values alone.
    EXPECT_EQ(GetCellText(0, 6), "40001");

    Connect(IdConnectData);
    EXPECT_EQ(Status(), "Read Status: Connected");
}

TEST_F(ConnectionTest, TheTimerRunsOnlyWhenThereIsSomethingToPoll)
{
    // Every table on "No data": connected, nothing polled.
    SetFormats({0, 0, 0, 0});
    Connect();
    EXPECT_EQ(Status(), "Read Status: Connected");
    EXPECT_FALSE(IsWindowTimerActive(kScanTimerId));
    Click(IdConnectComms);

    // A length of 0 leaves no row to poll either.
    SetFormats({1, 1, 1, 1});
    SetControlText(IdLengthField, "0");
    Connect();
    EXPECT_FALSE(IsWindowTimerActive(kScanTimerId));
    Click(IdConnectComms);

    // A single value is polled; an interval of 0 runs at the timer's floor.
    SetFormats({0, 0, 0, 3});
    SetControlText(IdLengthField, "1");
    SetControlText(IdScanField, "0");
    Connect();
    EXPECT_EQ(WindowTimerInterval(kScanTimerId), kLookAgainMs);
    EXPECT_EQ(GetControlText(IdScanField), "10");
    ASSERT_TRUE(WaitUntil([&] { return server.RequestCount() >= 3; }));
    Click(IdConnectComms);
    EXPECT_TRUE(WaitUntil([] { return program.link.connection.load() == nullptr; }));
    for (const Bytes& request : Unstamped(server.Requests()))
        EXPECT_EQ(request, ReadRequest(4, 1, 1));
}

TEST_F(ConnectionTest, AConnectThatHangsLeavesTheWindowLiveAndASecondClickGivesItUp)
{
    // A listener that never accepts: once its queue is full, a connect to
    // it hangs until given up.
    int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), size), 0);
    ASSERT_EQ(listen(listener, 0), 0);
    ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size), 0);
    Connection* queued = OpenConnection("127.0.0.1", ntohs(address.sin_port));
    SetControlText(IdPortField, std::to_string(ntohs(address.sin_port)));

    Click(IdConnectComms);
    EXPECT_EQ(Status(), "Read Status: Connecting...");
    ExpectParametersEnabled(false);
    QTest::qWait(100);  // the event loop runs on
    EXPECT_EQ(program.link.state, LinkConnecting);

    Click(IdConnectData);
    EXPECT_EQ(program.link.state, LinkOff);
    EXPECT_EQ(Status(), "Read Status: Not Connected");
    ExpectParametersEnabled(true);
    QTest::qWait(100);
    EXPECT_TRUE(gShownMessages.empty());
    EXPECT_FALSE(SettingsFileExists());
    CloseConnection(queued);
    close(listener);
}
