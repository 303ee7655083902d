// The trend window on an offscreen screen, fed scripted points: the series
// and their legend names, the cursor's readout, the bound on series, the
// picture saved, and closing it; each series on its scale, gaps, the legend,
// zoom, pan and following again.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QImage>
#include <QPushButton>
#include <QTest>
#include <QWheelEvent>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/ui/test_window.h"
#include "ui/file_dialog.h"
#include "ui/message_box.h"
#include "ui/trend_chart.h"
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

// A register of 0 to 1800 and a float of +-60, a point a second over the
// minute before kT0, none from 20 s to 40 s before it, the link down.
void FeedTwoScales(SeriesStore& store)
{
    for (Series& series : store.series) {
        if (!SeriesPoints(series).empty())
            continue;
        for (int s = 0; s <= 60; s++) {
            const int64_t t = kT0 - 60'000 + 1000 * s;
            if (s > 20 && s < 40) {
                MarkSeriesGap(series);
                continue;
            }
            AppendPoint(series, t, series.source.type == SeriesFloat32 ? 60.0 * ((s % 4) - 1.5) / 1.5 : 30.0 * s);
        }
    }
    if (store.outages.empty())
        store.outages.push_back({kT0 - 40'000, kT0 - 20'000});
}

QPushButton* Button(const QString& text)
{
    for (auto* button : TrendWindow()->findChildren<QPushButton*>())
        if (button->text() == text)
            return button;
    return nullptr;
}

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
    QPushButton* save = Button(QStringLiteral("Save as PNG…"));
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

TEST_F(TrendWindowTest, EachSeriesOnItsScaleAGapShownAndTheViewZoomsPansAndFollowsAgain)
{
    SetTrendWindowHandlers({FeedTwoScales, nullptr});
    AddTrendSeries(Register(1));
    AddTrendSeries({SeriesFloat32, 4, 3, 0});
    SetTrendViewEnd(kT0);
    ASSERT_TRUE(PumpUntil([] { return SeriesPoints(TrendSeriesStore()->series[1]).size() == 42; }));
    TrendChart* chart = TrendWindowChart();
    ASSERT_NE(chart, nullptr);
    chart->Advance(kT0);

    // The float keeps a scale of its own, not the register's 0 to 1800.
    ASSERT_TRUE(chart->RangeOf(0) && chart->RangeOf(1));
    EXPECT_LE(chart->RangeOf(0)->low, 0);
    EXPECT_GE(chart->RangeOf(0)->high, 1800);
    EXPECT_LE(chart->RangeOf(1)->low, -60);
    EXPECT_GE(chart->RangeOf(1)->high, 60);
    EXPECT_LE(chart->RangeOf(1)->high - chart->RangeOf(1)->low, 200);
    auto* scales = TrendWindow()->findChildren<QComboBox*>()[1];
    scales->setCurrentIndex(scales->findText(QStringLiteral("Shared")));
    EXPECT_EQ(chart->RangeOf(1)->high, chart->RangeOf(0)->high);
    scales->setCurrentIndex(scales->findText(QStringLiteral("One per series")));

    // The minute's middle third read nothing: no line there, the time
    // without cycles shaded and marked red under the chart.
    const QImage picture = chart->grab().toImage();
    const double x = chart->PlotWidth() / 2.0 + (chart->width() - chart->PlotWidth()) / 2.0;
    int line = 0, shaded = 0, marked = 0;
    for (int y = 0; y < picture.height(); y++) {
        const QColor pixel = picture.pixelColor(QPointF(x, y).toPoint() * picture.devicePixelRatio());
        marked += pixel == QColor(200, 0, 0);
        shaded += pixel == QColor(236, 236, 236);
        // Any colour above the red mark is a line, the chart's own being greys.
        const int colourful =
            std::max({pixel.red(), pixel.green(), pixel.blue()}) - std::min({pixel.red(), pixel.green(), pixel.blue()});
        line += marked == 0 && colourful > 30;
    }
    EXPECT_EQ(line, 0);
    EXPECT_GT(shaded, chart->height() / 3);
    EXPECT_GT(marked, 0);
    SetTrendCursor(kT0 - 30'000);
    EXPECT_NE(TrendReadout().find("40001 u16: -    40003-40004 float32 ABCD (big-endian): -"), std::string::npos)
        << TrendReadout();

    // A click on a name in the legend hides its series, and shows it again.
    QTest::mouseClick(chart, Qt::LeftButton, {}, chart->LegendEntry(1).center());
    EXPECT_FALSE(chart->Shown(1));
    EXPECT_FALSE(chart->RangeOf(1));
    QTest::mouseClick(chart, Qt::LeftButton, {}, chart->LegendEntry(1).center());
    EXPECT_TRUE(chart->Shown(1));

    // The wheel zooms the time in about the mouse and holds the view; a
    // drag with Shift pans it; Resume follows the newest data again.
    const QPoint middle(chart->width() / 2, chart->height() / 4);
    QWheelEvent wheel(middle, chart->mapToGlobal(middle), {}, {0, 240}, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                      false);
    QApplication::sendEvent(chart, &wheel);
    EXPECT_FALSE(chart->Following());
    EXPECT_EQ(Button(QStringLiteral("Pause")), nullptr);
    const int64_t span = chart->ViewToMs() - chart->ViewFromMs();
    EXPECT_LT(span, 45'000);
    const int64_t from = chart->ViewFromMs();
    QTest::mousePress(chart, Qt::LeftButton, Qt::ShiftModifier, middle);
    QTest::mouseMove(chart, middle - QPoint(100, 0));
    QTest::mouseRelease(chart, Qt::LeftButton, Qt::ShiftModifier, middle - QPoint(100, 0));
    EXPECT_GT(chart->ViewFromMs(), from);
    EXPECT_NEAR(static_cast<double>(chart->ViewToMs() - chart->ViewFromMs()), static_cast<double>(span), 2);
    Button(QStringLiteral("Resume"))->click();
    EXPECT_TRUE(chart->Following());
    EXPECT_EQ(chart->ViewToMs() - chart->ViewFromMs(), 60'000);
    EXPECT_EQ(chart->ViewToMs(), kT0);

    // A box dragged over the float zooms its values and the time.
    const QRect lane = chart->rect();
    QTest::mousePress(chart, Qt::LeftButton, {}, QPoint(lane.width() / 3, chart->height() / 2 + 10));
    QTest::mouseMove(chart, QPoint(lane.width() / 2, chart->height() / 2 + 40));
    QTest::mouseRelease(chart, Qt::LeftButton, {}, QPoint(lane.width() / 2, chart->height() / 2 + 40));
    EXPECT_FALSE(chart->Following());
    EXPECT_LT(chart->ViewToMs() - chart->ViewFromMs(), 20'000);
    EXPECT_LT(chart->RangeOf(1)->high - chart->RangeOf(1)->low, 100);
    EXPECT_GT(chart->RangeOf(0)->high, chart->RangeOf(1)->high) << "the register's scale is its own";
}
