// What a device needs, against the fake server playing it: request size,
// write function, unit id, time-out and pacing, one connection per cycle,
// and the settings file.
#include <QComboBox>
#include <QDialog>
#include <QLabel>

#include <fstream>
#include <sstream>

#include "connection/device_settings.h"
#include "dataview/value_types.h"
#include "engine/settings.h"
#include "engine/write_value.h"
#include "engine_fixture.h"

namespace {

class DeviceSettingsTest : public EngineTest {
protected:
    // Quantity of a read request, by its frame.
    static int QuantityOf(const Bytes& frame) { return frame[10] << 8 | frame[11]; }

    std::vector<Bytes> RequestsOfFunction(int function)
    {
        std::vector<Bytes> found;
        for (const Bytes& frame : server.Requests())
            if (frame.size() > 7 && frame[7] == function)
                found.push_back(frame);
        return found;
    }

    int LinesContaining(const std::string& text)
    {
        int n = 0;
        for (const std::string& line : LogTexts())
            n += line.find(text) != std::string::npos ? 1 : 0;
        return n;
    }

    static std::vector<int64_t> Gaps(const std::vector<int64_t>& timesUs)
    {
        std::vector<int64_t> gaps;
        for (size_t i = 1; i < timesUs.size(); i++)
            gaps.push_back(timesUs[i] - timesUs[i - 1]);
        return gaps;
    }
};

}  // namespace

TEST_F(DeviceSettingsTest, ATableLongerThanTheDeviceTakesIsReadInPartsAndAFailedPartIsNamed)
{
    // A device that serves at most 100 registers a read, Length 125.
    server.SetDeviceLimits(100, false);
    for (int a = 1; a <= 125; a++) {
        server.SetValue(3, a, static_cast<uint16_t>(1000 + a));
        server.SetValue(4, a, static_cast<uint16_t>(2000 + a));
    }
    program.deviceSettings.maxRegisters = 100;
    SetFormats({0, 0, 3, 3});
    SetControlText(IdLengthField, "125");
    Connect();
    RunCycle();

    EXPECT_EQ(Status(), "Read Status: OK");
    EXPECT_EQ(Counters(), "Polls: 4 Valid: 4 Bad: 0");
    const std::vector<Bytes> requests = Unstamped(server.Requests());
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[0], ReadRequest(3, 1, 100));
    EXPECT_EQ(requests[1], ReadRequest(3, 101, 25));
    EXPECT_EQ(requests[3], ReadRequest(4, 101, 25));
    int wrong = 0;
    for (int r = 0; r < 125; r++)
        wrong += (GetCellText(r, 5) != std::to_string(1001 + r)) + (GetCellText(r, 7) != std::to_string(2001 + r));
    EXPECT_EQ(wrong, 0);
    EXPECT_FALSE(program.tableStale[2].load());

    // The second part of Holding Registers refused: the table greys and
    // keeps its last complete read; status and log name the addresses.
    server.SetValue(4, 1, 7);
    for (int i = 0; i < 3; i++)
        server.Push(FakeReply::Normal());
    server.Push(FakeReply::Error(2));
    RunCycle();
    EXPECT_EQ(Status(), "Status: Not Read: Holding Registers 101-125");
    EXPECT_EQ(LinesContaining("Not read: Holding Registers 101-125 failed"), 1);
    EXPECT_TRUE(program.tableStale[3].load());
    EXPECT_FALSE(program.tableStale[2].load());
    EXPECT_EQ(GetCellText(0, 7), "2001");

    // Addresses past 65535 are not asked for at all.
    Click(IdConnectComms);
    SetControlText(IdStartField, "65500");
    SetFormats({0, 0, 0, 3});
    server.ClearRecords();
    Connect();
    RunCycle();
    for (const Bytes& frame : server.Requests())
        EXPECT_LE((frame[8] << 8 | frame[9]) + QuantityOf(frame), 65536);
    EXPECT_EQ(Status(), "Status: Not Read: Holding Registers 65536-65624");
}

TEST_F(DeviceSettingsTest, SingleWritesGoByFunction15And16AndTheDialogKeepsToTheLimit)
{
    // A device that takes only the multiple writes.
    server.SetDeviceLimits(0, true);
    program.deviceSettings.singleWrites = true;
    SetFormats({0, 1, 0, 3});
    Connect();
    ShowViewDataPage();
    RunCycle();
    EditCell(0, 7, [](QLineEdit* editor) {
        editor->selectAll();
        QTest::keyClicks(editor, QStringLiteral("4660"));
    });
    EditCell(1, 3, [](QLineEdit* editor) { QTest::keyClick(editor, Qt::Key_Up); });
    RunCycle();
    ASSERT_EQ(RequestsOfFunction(16).size(), 1u);
    ASSERT_EQ(RequestsOfFunction(15).size(), 1u);
    EXPECT_TRUE(RequestsOfFunction(5).empty() && RequestsOfFunction(6).empty());
    EXPECT_EQ(server.Value(4, 1), 4660);
    EXPECT_EQ(server.Value(2, 2), 1);
    EXPECT_EQ(Counters(), "Polls: 6 Valid: 6 Bad: 0");

    // The dialog starts on function 16, and refuses a value of more
    // registers than a request may carry.
    program.deviceSettings.maxRegisters = 1;
    std::unique_ptr<QDialog> dialog(CreateWriteValueDialogFor(0, 7));
    ASSERT_NE(dialog, nullptr);
    auto* function = dialog->findChild<QComboBox*>(QStringLiteral("function"));
    auto* type = dialog->findChild<QComboBox*>(QStringLiteral("type"));
    ASSERT_TRUE(function && type);
    EXPECT_EQ(function->currentData().toInt(), 16);
    type->setCurrentIndex(type->findData(static_cast<int>(TypeU32)));
    EXPECT_EQ(dialog->findChild<QLabel*>(QStringLiteral("reason"))->text().toStdString(),
              "2 registers in one request, but Device settings allow at most 1.");
}

TEST_F(DeviceSettingsTest, AGatewayAnsweringAsAnotherUnitIsNamedOnceAndReadWithAnyUnitId)
{
    // Every reply carries unit id 0; the client asks unit 1.
    server.SetDefault(FakeReply::Patched({{6, 0}}));
    server.SetValue(4, 1, 321);
    SetFormats({0, 0, 0, 3});
    Connect();
    RunCycle();
    RunCycle();
    EXPECT_EQ(Counters(), "Polls: 2 Valid: 0 Bad: 2");
    EXPECT_EQ(LinesContaining("the device answers as unit 0: set Modbus Unit Id to 0 or accept any unit id in "
                              "Device settings"),
              1);

    // Taken from the next cycle on, without a reconnect.
    program.deviceSettings.anyUnitId = true;
    RunCycle();
    EXPECT_EQ(Status(), "Read Status: OK");
    EXPECT_EQ(GetCellText(0, 7), "321");
    EXPECT_EQ(Counters(), "Polls: 3 Valid: 1 Bad: 2");
}

TEST_F(DeviceSettingsTest, TimeOutConnectDelayAndGapKeepToTheDevicesPace)
{
    // A slow gateway, given 1500 ms where the default 1000 would time out.
    program.deviceSettings.timeoutMs = 1500;
    program.deviceSettings.connectDelayMs = 200;
    program.deviceSettings.requestGapMs = 150;
    server.SetDefault(FakeReply::Delayed(1200));
    SetFormats({0, 0, 0, 3});
    Connect();
    RunCycle();
    EXPECT_EQ(Status(), "Read Status: OK");
    EXPECT_EQ(Counters(), "Polls: 1 Valid: 1 Bad: 0");
    ASSERT_FALSE(server.RequestTimesUs().empty());
    EXPECT_GE(server.RequestTimesUs()[0] - server.AcceptTimesUs().back(), 200000);

    server.SetDefault(FakeReply::Normal());
    SetFormats({1, 1, 3, 3});
    Click(IdConnectComms);
    Connect();
    server.ClearRecords();
    RunCycle();
    RunCycle();
    const std::vector<int64_t> gaps = Gaps(server.RequestTimesUs());
    ASSERT_EQ(gaps.size(), 7u);
    for (int64_t gap : gaps)
        EXPECT_GE(gap, 150000);
    // The connect's log line says what is in force.
    EXPECT_EQ(LinesContaining("device settings: time-out 1500 ms, connect delay 200 ms, request gap 150 ms"), 2);
}

TEST_F(DeviceSettingsTest, CloseAfterCycleOpensAgainForEachCycleWithoutALostLink)
{
    program.deviceSettings.closeAfterCycle = true;
    SetFormats({0, 0, 0, 3});
    Connect();
    RunCycle();
    ASSERT_TRUE(WaitUntil([&] { return server.Closed() == 1 && program.link.resting; }));
    EXPECT_EQ(program.link.state, LinkUp);

    // A write queued meanwhile goes out on the next connection.
    QueueWrite(WriteRequest(6, 1, 99));
    Tick();
    ASSERT_TRUE(WaitUntil([&] { return server.Accepted() == 2 && server.RequestCount() == 3u; }));
    ASSERT_TRUE(WaitUntil([] { return program.link.resting; }));
    EXPECT_EQ(server.Value(4, 1), 99);
    EXPECT_EQ(Counters(), "Polls: 3 Valid: 3 Bad: 0");
    EXPECT_EQ(Status(), "Read Status: OK");
    EXPECT_FALSE(program.tableStale[3].load());
    for (const LogLine& line : Log())
        EXPECT_NE(line.colour, kRed) << line.text;

    // Disconnect while resting: nothing more is opened.
    Click(IdConnectComms);
    EXPECT_EQ(program.link.state, LinkOff);
    EXPECT_FALSE(program.link.resting);
    RunCycle();
    EXPECT_EQ(server.Accepted(), 2);
}

TEST_F(DeviceSettingsTest, TheFileKeepsOnlyWhatDiffersFromTheDefaults)
{
    {
        std::ofstream file("vidideze.conf", std::ios::binary);
        file << "[Global]\r\nIP_URL = 127.0.0.1\r\nPort = " << server.Port()
             << "\r\nIdxCboHR = 2\r\nTimeout = 2500\r\nMaxRegisters = 200\r\nAnyUnitId = 1\r\nRequestGap = -5\r\n";
    }
    LoadSettings();
    EXPECT_EQ(program.deviceSettings.timeoutMs, 2500u);
    EXPECT_EQ(program.deviceSettings.maxRegisters, 125);  // out of range: ignored
    EXPECT_EQ(program.deviceSettings.requestGapMs, 0u);
    EXPECT_TRUE(program.deviceSettings.anyUnitId);

    Connect();
    std::ifstream saved("vidideze.conf", std::ios::binary);
    std::stringstream text;
    text << saved.rdbuf();
    EXPECT_NE(text.str().find("IdxCboHR = 2\r\nTimeout = 2500\r\nAnyUnitId = 1\r\n"), std::string::npos);
    EXPECT_EQ(text.str().find("MaxRegisters"), std::string::npos);
}
