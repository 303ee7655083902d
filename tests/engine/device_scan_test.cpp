// The Scan window against the real simulator as a gateway: a scan of units
// with identification, its CSV and "Use this unit"; a map of registers;
// Stop; and the rule that a scan and a connection never share the line.
#include "engine_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTableWidget>

#include <fstream>
#include <sstream>

#include "engine/device_scan.h"
#include "tests/support/sim_process.h"
#include "ui/file_dialog.h"
#include "ui/scan_window.h"

namespace {

std::string gSavePath;

class DeviceScanTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        ASSERT_TRUE(sim.Listening());
        SetControlText(IdPortField, std::to_string(sim.Port()));
        gSavePath = std::filesystem::current_path() / "scan.csv";
        SetSaveFileNameHook([](const std::string&, const std::string&) { return gSavePath; });
    }
    void TearDown() override
    {
        StopDeviceScan();
        EXPECT_TRUE(WaitUntil([] { return !DeviceScanRunning(); }, 10000));
        SetSaveFileNameHook(nullptr);
        EngineTest::TearDown();
    }

    template <class T>
    T* Part(const char* name)
    {
        T* part = ScanWindow() ? ScanWindow()->findChild<T*>(QLatin1String(name)) : nullptr;
        EXPECT_NE(part, nullptr) << name;
        return part;
    }

    // Opens the window by its button, with a short time-out so that silent
    // units pass quickly, and no gap.
    void OpenWindow()
    {
        Click(IdScanButton);
        ASSERT_NE(ScanWindow(), nullptr);
        ASSERT_TRUE(ScanWindow()->isVisible());
        // Inside the screen's room (also at QT_SCALE_FACTOR=2, 400 x 400 here).
        const QRect room = ScanWindow()->screen()->availableGeometry();
        EXPECT_TRUE(room.contains(ScanWindow()->frameGeometry()));
        Part<QSpinBox>("timeout")->setValue(100);
        Part<QSpinBox>("gap")->setValue(0);
    }

    bool Finished()
    {
        return WaitUntil([] { return !DeviceScanRunning(); }, 20000);
    }

    std::vector<std::vector<std::string>> Rows(const char* table)
    {
        std::vector<std::vector<std::string>> rows;
        auto* t = Part<QTableWidget>(table);
        for (int r = 0; t && r < t->rowCount(); r++) {
            rows.emplace_back();
            for (int c = 0; c < t->columnCount(); c++)
                rows.back().push_back(t->item(r, c) ? t->item(r, c)->text().toStdString() : "");
        }
        return rows;
    }

    static std::string Saved()
    {
        std::ifstream in(gSavePath);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    SimProcess sim{{"--port", "0", "--units", "1,7", "--gateway-absent", "3", "--identity", "Sorbel;SIM-1;1.0",
                    "--holes", "holding-registers:100-199"}};
};

}  // namespace

TEST_F(DeviceScanTest, ScansUnitsSavesTheCsvAndUsesTheChosenUnit)
{
    OpenWindow();
    Part<QSpinBox>("firstUnit")->setValue(1);
    Part<QSpinBox>("lastUnit")->setValue(8);
    Part<QCheckBox>("identify")->setChecked(true);
    Part<QPushButton>("unitsStart")->click();

    // The line is the scan's: no connect meanwhile.
    EXPECT_TRUE(DeviceScanRunning());
    EXPECT_FALSE(IsControlEnabled(IdConnectComms));
    EXPECT_FALSE(IsControlEnabled(IdConnectData));
    EXPECT_FALSE(Part<QPushButton>("unitsStart")->isEnabled());
    EXPECT_TRUE(Part<QPushButton>("unitsStop")->isEnabled());
    ASSERT_TRUE(Finished());
    EXPECT_TRUE(IsControlEnabled(IdConnectComms));
    EXPECT_TRUE(Part<QPushButton>("unitsStart")->isEnabled());

    const std::vector<std::vector<std::string>> expected = {
        {"1", "answers (function 03: read holding registers)", "Sorbel", "SIM-1", "1.0"},
        {"2", "silent", "", "", ""},
        {"3", "absent (gateway: target failed to respond)", "", "", ""},
        {"4", "silent", "", "", ""},
        {"5", "silent", "", "", ""},
        {"6", "silent", "", "", ""},
        {"7", "answers (function 03: read holding registers)", "Sorbel", "SIM-1", "1.0"},
        {"8", "silent", "", "", ""},
    };
    EXPECT_EQ(Rows("units"), expected);
    EXPECT_EQ(ScanStatus(ScanTabUnits).rfind("8 units: 2 answers, 1 absent, 5 silent; ", 0), 0u)
        << ScanStatus(ScanTabUnits);
    EXPECT_EQ(Part<QProgressBar>("unitsProgress")->value(), Part<QProgressBar>("unitsProgress")->maximum());

    // The same CSV as the command's.
    Part<QPushButton>("unitsSave")->click();
    EXPECT_EQ(Saved(), "unit,status,vendor,product,revision\n1,answers,Sorbel,SIM-1,1.0\n2,silent,,,\n3,absent,,,\n"
                       "4,silent,,,\n5,silent,,,\n6,silent,,,\n7,answers,Sorbel,SIM-1,1.0\n8,silent,,,\n");

    // "Use this unit" needs a row, and puts its unit into the page.
    auto* useUnit = Part<QPushButton>("useUnit");
    EXPECT_FALSE(useUnit->isEnabled());
    Part<QTableWidget>("units")->selectRow(6);
    ASSERT_TRUE(useUnit->isEnabled());
    useUnit->click();
    EXPECT_EQ(GetControlText(IdUnitField), "7");

    // Connected, the line is the connection's: no scan, no unit change.
    ClickConnect();
    ASSERT_EQ(program.link.state, LinkUp);
    EXPECT_FALSE(IsControlEnabled(IdScanButton));
    EXPECT_FALSE(Part<QPushButton>("unitsStart")->isEnabled());
    EXPECT_FALSE(Part<QPushButton>("mapStart")->isEnabled());
    EXPECT_FALSE(useUnit->isEnabled());
    EXPECT_EQ(Part<QPushButton>("unitsStart")->toolTip().toStdString(),
              "Disconnect first: a scan uses the connection itself.");
    Click(IdConnectComms);
    ASSERT_EQ(program.link.state, LinkOff);
    EXPECT_TRUE(IsControlEnabled(IdScanButton));
    EXPECT_TRUE(Part<QPushButton>("unitsStart")->isEnabled());
}

TEST_F(DeviceScanTest, MapsRegistersAndStopsWhenAskedOrClosed)
{
    OpenWindow();
    Part<QSpinBox>("mapUnit")->setValue(1);
    auto* table = Part<QComboBox>("table");
    table->setCurrentIndex(table->findText(QStringLiteral("Holding Registers")));
    Part<QSpinBox>("firstAddress")->setValue(0);
    Part<QSpinBox>("lastAddress")->setValue(999);
    Part<QPushButton>("mapStart")->click();
    ASSERT_TRUE(Finished());
    const std::vector<std::vector<std::string>> ranges = {
        {"holding-registers", "0", "99", "readable"},
        {"holding-registers", "100", "199", "unreadable (exception 02 or 03)"},
        {"holding-registers", "200", "999", "readable"},
    };
    EXPECT_EQ(Rows("ranges"), ranges);
    EXPECT_EQ(ScanStatus(ScanTabRegisters).rfind("3 ranges; ", 0), 0u) << ScanStatus(ScanTabRegisters);
    Part<QPushButton>("mapSave")->click();
    EXPECT_EQ(Saved(), "table,first,last,status\nholding-registers,0,99,readable\n"
                       "holding-registers,100,199,unreadable\nholding-registers,200,999,readable\n");

    // Stop ends a scan of every unit after the request under way; what was
    // found so far stays, and can be saved.
    Part<QSpinBox>("firstUnit")->setValue(1);
    Part<QSpinBox>("lastUnit")->setValue(247);
    Part<QCheckBox>("identify")->setChecked(false);
    Part<QPushButton>("unitsStart")->click();
    ASSERT_TRUE(WaitUntil([this] { return Part<QTableWidget>("units")->rowCount() >= 2; }));
    Part<QPushButton>("unitsStop")->click();
    ASSERT_TRUE(Finished());
    const int done = Part<QTableWidget>("units")->rowCount();
    EXPECT_LT(done, 247);
    EXPECT_EQ(ScanStatus(ScanTabUnits).rfind("Stopped at unit " + std::to_string(done + 1) + ". ", 0), 0u)
        << ScanStatus(ScanTabUnits);
    Part<QPushButton>("unitsSave")->click();
    const std::string saved = Saved();
    EXPECT_EQ(std::count(saved.begin(), saved.end(), '\n'), done + 1);

    // Closing the window stops a scan too.
    Part<QPushButton>("unitsStart")->click();
    ASSERT_TRUE(DeviceScanRunning());
    ScanWindow()->close();
    ASSERT_TRUE(Finished());
    EXPECT_LT(Part<QTableWidget>("units")->rowCount(), 247);
    EXPECT_TRUE(IsControlEnabled(IdConnectComms));
}

TEST_F(DeviceScanTest, SaysWhyAScanCannotGo)
{
    OpenWindow();
    // Over RTU unit 0 is the broadcast: refused before anything is sent.
    SetSelectorIndex(IdTransportSelector, TransportRtuOverTcp);
    Part<QSpinBox>("firstUnit")->setValue(0);
    Part<QPushButton>("unitsStart")->click();
    EXPECT_FALSE(DeviceScanRunning());
    EXPECT_EQ(ScanStatus(ScanTabUnits), "Over RTU, unit ids are 1-247: 0 is the broadcast, which no device answers.");
    Part<QSpinBox>("firstUnit")->setValue(9);
    Part<QSpinBox>("lastUnit")->setValue(8);
    Part<QPushButton>("unitsStart")->click();
    EXPECT_FALSE(DeviceScanRunning());
    EXPECT_EQ(ScanStatus(ScanTabUnits), "The first unit comes after the last: nothing to scan.");

    // Nothing listens: the scan ends with why, and the line is free again.
    SetSelectorIndex(IdTransportSelector, TransportModbusTcp);
    const int deadPort = [] {
        FakeModbusServer gone;
        return gone.Port();
    }();
    SetControlText(IdPortField, std::to_string(deadPort));
    Part<QSpinBox>("firstUnit")->setValue(1);
    Part<QPushButton>("unitsStart")->click();
    ASSERT_TRUE(Finished());
    EXPECT_EQ(ScanStatus(ScanTabUnits), "Cannot connect to 127.0.0.1:" + std::to_string(deadPort) + ": " +
                                            ConnectFailureText(ConnectRefused) + ".");
    EXPECT_TRUE(IsControlEnabled(IdConnectComms));
}
