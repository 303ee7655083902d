// The real window against the real simulator: what the list shows must be
// what the simulator holds as read by libmodbus, an independent Modbus
// implementation, and the client's writes must land there.
#include "engine_fixture.h"

#include <modbus.h>

#include <QComboBox>
#include <QDialog>
#include <QPushButton>

#include "engine/value_tip.h"
#include "engine/write_value.h"
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
        ASSERT_NE(program.link.connection.load(), nullptr);
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

    // Writes through the "Write value…" dialog of the cell as the user
    // does: the drop-downs, the value, then Write.
    void WriteThroughDialog(int row, int column, const char* type, const char* order, const char* function,
                            const char* value)
    {
        const std::unique_ptr<QDialog> dialog(CreateWriteValueDialogFor(row, column));
        ASSERT_NE(dialog, nullptr);
        for (auto [name, entry] : {std::pair{"type", type}, {"order", order}, {"function", function}}) {
            auto* box = dialog->findChild<QComboBox*>(QLatin1String(name));
            const int index = box->findText(QString::fromUtf8(entry));
            ASSERT_GE(index, 0) << entry;
            box->setCurrentIndex(index);
        }
        dialog->findChild<QLineEdit*>(QStringLiteral("value"))->setText(QString::fromUtf8(value));
        dialog->findChild<QPushButton*>(QStringLiteral("write"))->click();
        EXPECT_EQ(dialog->result(), QDialog::Accepted);
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
    ASSERT_TRUE(WaitUntil([] { return program.link.connection.load() == nullptr; }, 15000));
    ASSERT_EQ(GetControlText(IdCommandField), "quit");
    Click(IdSendCommand);
    EXPECT_EQ(sim.WaitExit(5000), 0);
}

TEST_F(SimulatorEndToEnd, EachWriteFunctionOfTheDialogLandsAndAFloatReadsBackInTheTip)
{
    ConnectToSim();
    RunCycle();
    ASSERT_EQ(GetCellText(1, 3), "0");  // 101
    ASSERT_EQ(GetCellText(2, 3), "1");  // 102

    WriteThroughDialog(1, 3, "coil", "ABCD (big-endian)", "5 Write Single Coil", "on");
    WriteThroughDialog(2, 3, "coil", "ABCD (big-endian)", "15 Write Multiple Coils", "off");
    WriteThroughDialog(0, 7, "s16", "ABCD (big-endian)", "6 Write Single Register", "-2");
    WriteThroughDialog(2, 7, "float32", "CDAB (word swap)", "16 Write Multiple Registers", "123.456");
    RunCycle();
    EXPECT_EQ(Status(), "Read Status: OK");
    EXPECT_EQ(program.validCount.load(), 4 + 4 + 4);
    EXPECT_EQ(program.badCount.load(), 0);
    // After its id: whatever the count of requests before it made that.
    bool floatLogged = false;
    for (const LogLine& line : Log())
        floatLogged |= StartsWith(line.text, "POKE ->: 17 bytes ") &&
                       line.text.substr(23) == " 00 00 00 0B 01 10 00 66 00 02 04 E9 79 42 F6" && line.colour == kBlue;
    EXPECT_TRUE(floatLogged);

    uint8_t coils[2] = {};
    uint16_t registers[4] = {};
    ASSERT_EQ(modbus_read_bits(checker, kStart + 1, 2, coils), 2);
    ASSERT_EQ(modbus_read_registers(checker, kStart, 4, registers), 4);
    EXPECT_EQ(coils[0], 1);
    EXPECT_EQ(coils[1], 0);
    EXPECT_EQ(registers[0], 0xFFFE);
    EXPECT_EQ(modbus_get_float_cdab(&registers[2]), 123.456f);

    // Read back, the tip's CDAB line shows what was typed.
    RunCycle();
    ExpectListMatchesSimulator();
    const std::string tip = ValueCellTip(2, 7);
    const size_t cdab = tip.find("<td>CDAB</td>");
    ASSERT_NE(cdab, std::string::npos) << tip;
    const std::string line = tip.substr(cdab, tip.find("</tr>", cdab) - cdab);
    EXPECT_NE(line.find(">123.456</td>"), std::string::npos) << line;
}
