// The trend window on an offscreen screen, fed scripted points: the series
// and their legend names, the cursor's readout, the bound on series, the
// picture saved, and closing it.
#include <gtest/gtest.h>

#include <QImage>
#include <QPushButton>
#include <QTest>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/ui/test_window.h"
#include "ui/file_dialog.h"
#include "ui/message_box.h"
#include "ui/trend_window.h"

namespace {

constexpr int64_t kT0 = 1'765'000'000'000;  // ms since 1970
std::string gPath;
std::vector<std::string> gMessages;
int gStopped = 0;

// Each call adds the next second's point to every series: a register
// counting 10, 20, 30, ... and a bit that turns on at the third second.
void Feed(SeriesStore& store)
{
    for (Series& series : store.series) {
        const auto n = static_cast<int64_t>(SeriesPoints(series).size());
        if (n >= 5)
            continue;
        const double value = series.source.type == SeriesBit ? (n >= 2 ? 1 : 0) : 10.0 * static_cast<double>(n + 1);
        AppendPoint(series, kT0 + 1000 * n, value);
    }
}

class TrendWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestWindow();
        gMessages.clear();
        gStopped = 0;
        SetTrendWindowHandlers({Feed, [] { gStopped++; }});
        SetMessageBoxHook([](const std::string&, const std::string& text) { gMessages.push_back(text); });
        SetSaveFileNameHook([](const std::string&, const std::string&) { return gPath; });
    }
    void TearDown() override
    {
        if (TrendWindow())
            TrendWindow()->close();
        PumpUntil([] { return TrendWindow() == nullptr; });
        SetSaveFileNameHook(nullptr);
        SetMessageBoxHook(nullptr);
        SetTrendWindowHandlers({});
    }
};

// A holding register by its address number (the label less 40000).
SeriesSource Register(int64_t address)
{
    return {SeriesU16, 4, address, 0};
}

}  // namespace

TEST_F(TrendWindowTest, SeriesAddedAreReadAtTheCursorAndSavedAsAPicture)
{
    EXPECT_EQ(AddTrendSeries(Register(1)), 0);
    EXPECT_EQ(AddTrendSeries({SeriesBit, 1, 1, 0}), 1);
    EXPECT_EQ(AddTrendSeries(Register(1)), 0);  // already there
    ASSERT_NE(TrendWindow(), nullptr);
    EXPECT_TRUE(TrendWindow()->isVisible());
    SetTrendViewEnd(kT0 + 5000);
    ASSERT_TRUE(PumpUntil([] { return SeriesPoints(TrendSeriesStore()->series[1]).size() == 5; }));
    EXPECT_EQ(TrendSeriesStore()->series[0].name, "40001 u16");
    EXPECT_EQ(TrendSeriesStore()->series[1].name, "10001 bit");

    // Between the points the value read last holds; before the first, none.
    SetTrendCursor(kT0 + 2500);
    std::string readout = TrendReadout();
    EXPECT_NE(readout.find("40001 u16: 30    10001 bit: 1"), std::string::npos) << readout;
    SetTrendCursor(kT0 - 1);
    readout = TrendReadout();
    EXPECT_NE(readout.find("40001 u16: -    10001 bit: -"), std::string::npos) << readout;

    gPath = (std::filesystem::temp_directory_path() / "sorbel-trend-test.png").string();
    std::filesystem::remove(gPath);
    QPushButton* save = nullptr;
    for (auto* button : TrendWindow()->findChildren<QPushButton*>())
        if (button->text() == QStringLiteral("Save as PNG…"))
            save = button;
    ASSERT_NE(save, nullptr);
    save->click();
    const QImage picture(QString::fromStdString(gPath));
    EXPECT_FALSE(picture.isNull());
    EXPECT_GT(picture.width(), 400);
    std::filesystem::remove(gPath);
    EXPECT_TRUE(gMessages.empty());
}

TEST_F(TrendWindowTest, HoldsAtMostEightSeriesAndClosingDropsThem)
{
    for (int64_t a = 0; a < 8; a++)
        ASSERT_EQ(AddTrendSeries(Register(1 + a)), a);
    EXPECT_EQ(AddTrendSeries(Register(100)), -1);
    ASSERT_EQ(gMessages.size(), 1u);
    EXPECT_NE(gMessages[0].find("at most 8 series"), std::string::npos);
    EXPECT_EQ(TrendSeriesStore()->series.size(), 8u);

    TrendWindow()->close();
    EXPECT_EQ(gStopped, 1);
    ASSERT_TRUE(PumpUntil([] { return TrendWindow() == nullptr; }));
    EXPECT_EQ(AddTrendSeries(Register(100)), 0);  // a new window, empty
}
