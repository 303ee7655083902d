// Recording to CSV and plotting, driven through the data list's menu of the
// real window against the real simulator: the file must hold what the list
// showed, cycle by cycle, and sampling must run only while someone takes
// the samples.
#include <signal.h>
#include <sys/resource.h>

#include <QMenu>

#include <fstream>
#include <iterator>
#include <modbus.h>

#include "dataview/series_store.h"
#include "engine/trend_feed.h"
#include "engine_fixture.h"
#include "tests/dataview/csv_parse.h"
#include "tests/support/sim_process.h"
#include "ui/data_list.h"
#include "ui/data_list_menu.h"
#include "ui/file_dialog.h"
#include "ui/recording_mark.h"
#include "ui/trend_window.h"

namespace {

constexpr int kStart = 100;  // clear of the simulator's live registers
constexpr int kLength = 3;

std::string gRecordPath;
std::string AnswerRecordPath(const std::string&, const std::string&)
{
    return gRecordPath;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class ValuesOverTime : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        ASSERT_GT(sim.Port(), 0);
        SetControlText(IdPortField, std::to_string(sim.Port()));
        SetControlText(IdStartField, std::to_string(kStart));
        SetControlText(IdLengthField, std::to_string(kLength));
        checker = modbus_new_tcp("127.0.0.1", sim.Port());
        ASSERT_NE(checker, nullptr);
        ASSERT_EQ(modbus_connect(checker), 0);
        gRecordPath = (std::filesystem::current_path() / "values.csv").string();
        SetSaveFileNameHook(AnswerRecordPath);
    }
    void TearDown() override
    {
        SetSaveFileNameHook(nullptr);
        if (TrendWindow())
            TrendWindow()->close();
        modbus_close(checker);
        modbus_free(checker);
        EngineTest::TearDown();
    }

    // The entry of the data list's menu on a cell, as a click on it; a
    // submenu's entry as "Plot/u16".
    void Choose(int row, int column, const std::string& path)
    {
        auto* view = qobject_cast<QTableView*>(FindControl(IdDataList));
        ASSERT_NE(view, nullptr);
        const std::unique_ptr<QMenu> menu(BuildDataListMenu(view, view->model()->index(row, column)));
        QMenu* in = menu.get();
        std::string rest = path;
        for (size_t slash; (slash = rest.find('/')) != std::string::npos; rest = rest.substr(slash + 1)) {
            QMenu* sub = nullptr;
            for (QAction* action : in->actions())
                if (action->menu() && action->text().toStdString() == rest.substr(0, slash))
                    sub = action->menu();
            ASSERT_NE(sub, nullptr) << path;
            in = sub;
        }
        for (QAction* action : in->actions()) {
            if (StartsWith(action->text().toStdString(), rest)) {
                ASSERT_TRUE(action->isEnabled()) << path;
                action->trigger();
                return;
            }
        }
        FAIL() << "no entry " << path;
    }

    std::string RecordEntry()
    {
        auto* view = qobject_cast<QTableView*>(FindControl(IdDataList));
        const std::unique_ptr<QMenu> menu(BuildDataListMenu(view, view->model()->index(0, 1)));
        for (QAction* action : menu->actions())
            if (StartsWith(action->text().toStdString(), "Record") || StartsWith(action->text().toStdString(), "Stop"))
                return action->text().toStdString();
        return {};
    }

    // The recording's timer has seen its end.
    bool RecordingOver()
    {
        return WaitUntil([] { return !IsWindowTimerActive(kRecordTimerId); }, 10000);
    }

    // The value columns as the list shows them now, in the file's order.
    std::vector<std::string> ShownValues()
    {
        std::vector<std::string> values;
        for (int column : {1, 3, 5, 7})
            for (int r = 0; r < kLength; r++)
                values.push_back(GetCellText(r, column));
        return values;
    }

    void ConnectToSim()
    {
        ClickConnect(IdConnectComms);
        ASSERT_EQ(program.link.state, LinkUp);
    }

    SimProcess sim;
    modbus_t* checker = nullptr;
};

}  // namespace

TEST_F(ValuesOverTime, RecordsOneRowPerCycleAsTheListShowedItAcrossADisconnect)
{
    ConnectToSim();
    EXPECT_EQ(RecordEntry(), "Record to CSV…");
    Choose(0, 1, "Record to CSV");
    EXPECT_EQ(ShownRecordingMark(), MarkRecording);

    std::vector<std::vector<std::string>> shown;
    auto cycle = [&](uint16_t value) {
        ASSERT_EQ(modbus_write_register(checker, kStart + 1, value), 1);
        RunCycle();
        shown.push_back(ShownValues());
    };
    for (uint16_t i = 0; i < 4; i++)
        cycle(static_cast<uint16_t>(0xA0 + i));

    // Not connected: no cycles, the recording waits in the same file.
    Click(IdConnectComms);
    ASSERT_TRUE(WaitUntil([] { return program.link.state == LinkOff; }));
    DispatchTimerEvent(kRecordTimerId);
    std::string tip;
    EXPECT_EQ(ShownRecordingMark(&tip), MarkPaused);
    EXPECT_NE(tip.find("values.csv"), std::string::npos) << tip;
    ConnectToSim();
    DispatchTimerEvent(kRecordTimerId);
    EXPECT_EQ(ShownRecordingMark(), MarkRecording);
    for (uint16_t i = 0; i < 2; i++)
        cycle(static_cast<uint16_t>(0xB0 + i));

    ASSERT_TRUE(WaitUntil([&] { return RecordEntry() == "Stop recording (values.csv, 6 rows)"; })) << RecordEntry();
    Choose(0, 1, "Stop recording");
    EXPECT_EQ(ShownRecordingMark(), MarkHidden);
    ASSERT_TRUE(RecordingOver());
    EXPECT_EQ(RecordEntry(), "Record to CSV…");

    const CsvRows rows = ParseCsv(ReadFile(gRecordPath));
    // One header: the block stayed the same across the reconnect.
    ASSERT_EQ(rows.size(), 1 + shown.size());
    EXPECT_EQ(rows[0],
              (std::vector<std::string>{"Time", "Discrete Input 10100", "Discrete Input 10101", "Discrete Input 10102",
                                        "Coil 0100", "Coil 0101", "Coil 0102", "Input Register 30100",
                                        "Input Register 30101", "Input Register 30102", "Holding Register 40100",
                                        "Holding Register 40101", "Holding Register 40102", "Bad responses"}));
    for (size_t i = 0; i < shown.size(); i++) {
        const std::vector<std::string>& row = rows[i + 1];
        ASSERT_EQ(row.size(), rows[0].size());
        if (i > 0) {
            EXPECT_GT(row[0], rows[i][0]) << "row " << i;
        }
        EXPECT_EQ(std::vector<std::string>(row.begin() + 1, row.end() - 1), shown[i]) << "row " << i;
        EXPECT_EQ(row.back(), "");
    }
    EXPECT_EQ(rows[6][11], "00B1");
    EXPECT_TRUE(gShownMessages.empty());
}

TEST_F(ValuesOverTime, AFileThatCannotGrowStopsTheRecordingWithOneMessageAndWholeRows)
{
    ConnectToSim();
    gRecordPath = "/nonexistent-folder/values.csv";
    Choose(0, 1, "Record to CSV");
    ASSERT_EQ(gShownMessages.size(), 1u);
    EXPECT_EQ(gShownMessages[0].text, "Cannot record to /nonexistent-folder/values.csv: the folder does not exist.");
    EXPECT_EQ(ShownRecordingMark(), MarkHidden);
    gShownMessages.clear();

    // A file-size limit as a full disk would stop it (and binding root too).
    gRecordPath = (std::filesystem::current_path() / "values.csv").string();
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 600;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    Choose(0, 1, "Record to CSV");
    for (int i = 0; i < 40 && IsWindowTimerActive(kRecordTimerId); i++) {
        RunCycle();
        QTest::qWait(150);
        DispatchTimerEvent(kRecordTimerId);
    }
    const bool over = RecordingOver();
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldHandler);
    ASSERT_TRUE(over);

    ASSERT_EQ(gShownMessages.size(), 1u);
    const std::string& message = gShownMessages[0].text;
    EXPECT_NE(message.find("stopped: the file has reached the largest size allowed"), std::string::npos) << message;
    EXPECT_EQ(ShownRecordingMark(), MarkHidden);
    const std::string text = ReadFile(gRecordPath);
    EXPECT_LE(text.size(), 600u);
    const CsvRows rows = ParseCsv(text);  // every line whole
    ASSERT_GE(rows.size(), 2u);
    EXPECT_NE(message.find("The " + std::to_string(rows.size() - 1) + " rows written before are kept."),
              std::string::npos)
        << message;
    for (const auto& row : rows)
        EXPECT_EQ(row.size(), rows[0].size());
}

TEST_F(ValuesOverTime, PlotFeedsTheTrendWindowAndClosingItStopsTheSampling)
{
    ConnectToSim();
    EXPECT_FALSE(SamplesWanted(program.samples));
    Choose(0, 5, "Plot/u16");
    ASSERT_NE(TrendWindow(), nullptr);
    EXPECT_TRUE(TrendWindow()->isVisible());
    EXPECT_TRUE(SamplesWanted(program.samples));

    RunCycle();
    RunCycle();
    ASSERT_TRUE(WaitUntil([] { return SeriesPoints(TrendSeriesStore()->series[0]).size() == 2; }));
    const Series& series = TrendSeriesStore()->series[0];
    EXPECT_EQ(series.name, "30100 u16");
    EXPECT_EQ(SeriesPoints(series)[1].value, 100);  // the simulator's input register 100 holds 100

    // Only values whose registers lie in the block of three: none of 32
    // bits on the last row, none of 64 at all; their orders in a submenu.
    const int last = DataListRowCount() - 1;
    EXPECT_EQ(PlotChoiceTexts(4, last), (std::vector<std::string>{"u16", "s16"}));
    EXPECT_EQ(PlotChoiceTexts(4, 0).size(), 14u);
    EXPECT_EQ(PlotChoiceTexts(4, 0).back(), "float32 DCBA (little-endian)");
    Choose(0, 5, "Plot/float32/CDAB (word swap)");
    ASSERT_EQ(TrendSeriesStore()->series.size(), 2u);
    EXPECT_EQ(TrendSeriesStore()->series[1].name, "30100-30101 float32 CDAB (word swap)");

    TrendWindow()->close();
    EXPECT_FALSE(SamplesWanted(program.samples));
    ASSERT_TRUE(WaitUntil([] { return TrendWindow() == nullptr; }));
}
