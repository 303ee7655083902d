// The real window against the real simulator: what the list shows must be
// what the simulator holds as read by libmodbus, an independent Modbus
// implementation, and the client's writes must land there.
#include "engine_fixture.h"

#include <modbus.h>

#include "tests/support/sim_process.h"

namespace {

constexpr int kStart = 100;  // wire addresses 100..105: clear of the live registers
constexpr int kLength = 6;

class SimulatorEndToEnd : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        ASSERT_GT(sim.Port(), 0);
        SetControlText(IdPortField, std::to_string(sim.Port()));
        SetControlText(IdStartField, std::to_string(kStart));
        SetControlText(IdLengthField, std::to_string(kLength));
        SetFormats({1, 1, 3, 2});  // Bit, Bit, Decimal, Hex
        checker = modbus_new_tcp("127.0.0.1", sim.Port());
        ASSERT_NE(checker, nullptr);
        ASSERT_EQ(modbus_connect(checker), 0);
    }
    void TearDown() override
    {
        modbus_close(checker);
        modbus_free(checker);
        EngineTest::TearDown();
    }

    void ConnectToSim()
    {
        ClickConnect(IdConnectComms);
        ASSERT_NE(program.connection.load(), nullptr);
        ASSERT_EQ(Status(), "Read Status: Connected");
    }

    // The list against the simulator's tables, read by libmodbus.
    void ExpectListMatchesSimulator()
    {
        uint8_t inputs[kLength], coils[kLength];
        uint16_t inputRegisters[kLength], holding[kLength];
        ASSERT_EQ(modbus_read_input_bits(checker, kStart, kLength, inputs), kLength);
        ASSERT_EQ(modbus_read_bits(checker, kStart, kLength, coils), kLength);
        ASSERT_EQ(modbus_read_input_registers(checker, kStart, kLength, inputRegisters), kLength);
        ASSERT_EQ(modbus_read_registers(checker, kStart, kLength, holding), kLength);
        char hex[8];
        for (int r = 0; r < kLength; ++r) {
            EXPECT_EQ(GetCellText(r, 0), std::to_string(10000 + kStart + r));
            EXPECT_EQ(GetCellText(r, 1), std::to_string(inputs[r])) << "row " << r;
            EXPECT_EQ(GetCellText(r, 3), std::to_string(coils[r])) << "row " << r;
            EXPECT_EQ(GetCellText(r, 5), std::to_string(inputRegisters[r])) << "row " << r;
            std::snprintf(hex, sizeof hex, "%04X", holding[r]);
            EXPECT_EQ(GetCellText(r, 7), hex) << "row " << r;
        }
    }

    SimProcess sim;
    modbus_t* checker = nullptr;
};

}  // namespace

TEST_F(SimulatorEndToEnd, PollsAllFourTablesAndShowsWhatTheSimulatorHolds)
{
    ConnectToSim();
    RunCycle();
    EXPECT_EQ(Status(), "Read Status: OK");
    EXPECT_EQ(program.pollCount.load(), 4);
    EXPECT_EQ(program.validCount.load(), 4);
    EXPECT_EQ(program.badCount.load(), 0);
    ExpectListMatchesSimulator();
    // Not all alike, so a shifted or misdecoded block cannot pass.
    EXPECT_EQ(GetCellText(2, 1), "1");  // 102 % 3 == 0
    EXPECT_EQ(GetCellText(0, 3), "1");  // coils alternate from 1 at even addresses
    EXPECT_EQ(GetCellText(1, 3), "0");
    EXPECT_EQ(GetCellText(5, 5), "105");

    // With the offset the whole block goes out one lower.
    SetCheckState(IdOffsetCheck, 1);
    RunCycle();
    EXPECT_EQ(GetCellText(0, 5), std::to_string(kStart - 1));
}

TEST_F(SimulatorEndToEnd, CoilAndRegisterEditsReachTheSimulatorAndReadBack)
{
    ConnectToSim();
    ShowViewDataPage();
    RunCycle();
    ASSERT_EQ(GetCellText(1, 3), "0");
    ASSERT_EQ(GetCellText(2, 7), "0000");

    EditCell(1, 3, [](QLineEdit* editor) { QTest::keyClick(editor, Qt::Key_Up); });
    EditCell(2, 7, [](QLineEdit* editor) {
        editor->selectAll();
        QTest::keyClicks(editor, "beef");
    });
    RunCycle();
    EXPECT_EQ(Status(), "Read Status: OK");
    EXPECT_EQ(program.badCount.load(), 0);

    uint8_t coil = 0;
    uint16_t reg = 0;
    ASSERT_EQ(modbus_read_bits(checker, kStart + 1, 1, &coil), 1);
    ASSERT_EQ(modbus_read_registers(checker, kStart + 2, 1, &reg), 1);
    EXPECT_EQ(coil, 1);
    EXPECT_EQ(reg, 0xBEEF);

    RunCycle();
    EXPECT_EQ(GetCellText(1, 3), "1");
    EXPECT_EQ(GetCellText(2, 7), "BEEF");
    ExpectListMatchesSimulator();
}

TEST_F(SimulatorEndToEnd, ScanTimerKeepsPollingAndSendCommandStopsTheSimulator)
{
    SetControlText(IdScanField, "50");
    ConnectToSim();
    ASSERT_TRUE(WaitUntil([] { return program.validCount.load() >= 12; }, 15000));
    EXPECT_EQ(program.badCount.load(), 0);

    Click(IdConnectComms);  // disconnect
    ASSERT_TRUE(WaitUntil([] { return program.connection.load() == nullptr; }, 15000));
    ASSERT_EQ(GetControlText(IdCommandField), "quit");
    Click(IdSendCommand);
    EXPECT_EQ(sim.WaitExit(5000), 0);
}
