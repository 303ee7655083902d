// Every text the window writes on a colour of its own, against that colour,
// under a light and a dark desktop colour scheme: 4.5:1 at least while
// enabled, 3:1 while disabled or greyed. The pairs are read from the window
// as built, so a new label or colour is checked without being listed here.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBrush>
#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>

#include <cstdio>
#include <string>
#include <vector>

#include "common/contrast.h"
#include "tests/ui/dark_palette.h"
#include "tests/ui/test_window.h"
#include "ui/control_ids.h"
#include "ui/data_list.h"
#include "ui/widgets.h"

namespace {

struct Pair {
    std::string where;
    Rgb text;
    Rgb background;
    bool enabled;  // else disabled or greyed
};

// Colours the window must show as they are, though enabled they read below
// 4.5:1: white on the orange band (and in-place editor) 2.9:1, the orange
// About captions on the pages 2.4:1 and the orange Help title on white
// 2.9:1, the red legend on the pages 3.2:1 and red exception lines on white
// 4.0:1. Their disabled variants are held to 3:1 like any other.
struct Kept {
    Rgb text;
    Rgb background;
};
constexpr Kept kKeptAsTheyAre[] = {
    {kWhite, kAccentOrange}, {kAccentOrange, kPageGrey}, {kAccentOrange, kWhite}, {kRed, kPageGrey}, {kRed, kWhite},
};

bool IsKept(const Pair& pair, const Kept& kept)
{
    return pair.enabled && pair.text == kept.text && pair.background == kept.background;
}

std::string Name(Rgb c)
{
    char text[24];
    std::snprintf(text, sizeof text, "(%d,%d,%d)", c.r, c.g, c.b);
    return text;
}

void AddText(std::vector<Pair>& pairs, const std::string& where, const QPalette& palette, QPalette::ColorRole role,
             Rgb background)
{
    pairs.push_back({where, ToRgb(palette.color(QPalette::Active, role)), background, true});
    pairs.push_back({where + " (disabled)", ToRgb(palette.color(QPalette::Disabled, role)), background, false});
}

// The colour behind a widget's text: the nearest fill, its own or an
// ancestor's (the pages, the window, the orange band).
Rgb FillBehind(const QWidget* widget)
{
    for (; widget; widget = widget->parentWidget())
        if (widget->autoFillBackground())
            return ToRgb(widget->palette().color(QPalette::Window));
    return kWhite;
}

std::vector<Pair> WindowPairs(QWidget* window)
{
    std::vector<Pair> pairs;
    // Labels, links, the checkbox and the status bar fields.
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        const auto* label = qobject_cast<QLabel*>(widget);
        const auto* box = qobject_cast<QCheckBox*>(widget);
        const QString text = label ? label->text() : box ? box->text() : QString();
        if (!text.isEmpty())
            AddText(pairs, text.toStdString(), widget->palette(), widget->foregroundRole(), FillBehind(widget));
    }

    // The tab captions, on the fill the panel paints (it paints them alike
    // whether enabled or not).
    QTabBar* bar = Control<QTabWidget>(IdTabPanel)->tabBar();
    const QImage tabs = bar->grab().toImage();
    const QRect tab = bar->tabRect(0);
    pairs.push_back({"tab captions", ToRgb(TextColourOnLight(bar->palette(), QPalette::WindowText)),
                     ToRgb(tabs.pixelColor(QPoint(tab.left() + 2, tab.center().y()) * tabs.devicePixelRatio())), true});

    // The data list's rows and its background below them; greyed values
    // (not confirmed by the latest read) are held to 3:1 like disabled text.
    auto* list = Control<QTableView>(IdDataList);
    ChangeDataListRows([](std::vector<DataRow>& rows) { rows.resize(2); });
    std::array<bool, kDataListColumns> greyed{};
    greyed[1] = true;
    SetGreyedColumns(greyed);
    for (int row : {0, 1}) {
        const Rgb fill = ToRgb(list->model()->index(row, 0).data(Qt::BackgroundRole).value<QBrush>().color());
        AddText(pairs, "data list row " + std::to_string(row), list->palette(), QPalette::Text, fill);
        pairs.push_back({"greyed value, row " + std::to_string(row),
                         ToRgb(list->model()->index(row, 1).data(Qt::ForegroundRole).value<QBrush>().color()), fill,
                         false});
    }
    AddText(pairs, "data list below its rows", list->palette(), QPalette::Text,
            ToRgb(list->palette().color(QPalette::Base)));

    // The text panes' own text; the Help page's coloured lines; the log's
    // lines, in the colours of the legend under it and dark grey for the
    // elapsed times.
    for (int id : {IdMessageLog, IdHelpPane}) {
        const QPalette& palette = FindControl(id)->palette();
        AddText(pairs, "text pane " + std::to_string(id), palette, QPalette::Text,
                ToRgb(palette.color(QPalette::Base)));
    }
    const Rgb logBase = ToRgb(FindControl(IdMessageLog)->palette().color(QPalette::Base));
    for (int id : {IdLegendPolls, IdLegendValid, IdLegendBad})
        pairs.push_back({"log line like legend " + std::to_string(id),
                         ToRgb(FindControl(id)->palette().color(QPalette::Active, QPalette::WindowText)), logBase,
                         true});
    pairs.push_back({"log elapsed-time line", kDarkGrey, logBase, true});
    const Rgb helpBase = ToRgb(FindControl(IdHelpPane)->palette().color(QPalette::Base));
    for (QTextBlock block = Control<QTextEdit>(IdHelpPane)->document()->begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().hasProperty(QTextFormat::ForegroundBrush))
                pairs.push_back({"Help: " + it.fragment().text().toStdString(),
                                 ToRgb(it.fragment().charFormat().foreground().color()), helpBase, true});
    // The in-place editor writes white on the accent orange, the band's pair.
    return pairs;
}

}  // namespace

TEST(Contrast, EveryTextOnAFixedColourReadsUnderLightAndDarkSchemes)
{
    const QPalette light = QApplication::palette();
    for (const bool dark : {false, true}) {
        QApplication::setPalette(dark ? DarkPalette() : light);
        const std::vector<Pair> pairs = WindowPairs(TestWindow());
        EXPECT_GT(pairs.size(), 80u);
        std::vector<bool> keptSeen(std::size(kKeptAsTheyAre));
        for (const Pair& pair : pairs) {
            bool kept = false;
            for (size_t k = 0; k < std::size(kKeptAsTheyAre); ++k)
                if (IsKept(pair, kKeptAsTheyAre[k]))
                    kept = keptSeen[k] = true;
            if (kept)
                continue;
            EXPECT_GE(ContrastRatio(pair.text, pair.background), pair.enabled ? 4.5 : 3.0)
                << (dark ? "dark: " : "light: ") << pair.where << ", " << Name(pair.text) << " on "
                << Name(pair.background);
        }
        // An exception that no longer occurs is dropped from the list.
        for (size_t k = 0; k < std::size(kKeptAsTheyAre); ++k)
            EXPECT_TRUE(keptSeen[k]) << Name(kKeptAsTheyAre[k].text) << " on " << Name(kKeptAsTheyAre[k].background);
    }
    QApplication::setPalette(light);
    TestWindow();
}
