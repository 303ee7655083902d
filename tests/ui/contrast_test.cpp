// Every text the window writes on a colour of its own, against that colour,
// under a light and a dark desktop colour scheme: 4.5:1 at least, enabled,
// locked (disabled) or greyed. The pairs are read from the window as built,
// so a new label or colour is checked without being listed here; the locked
// fields and greyed values are measured on their rendered pixels as well.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBrush>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
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
// 4.0:1. Their disabled variants are held to 4.5:1 like any other.
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

// The text in its enabled colour, and in its disabled one when the window
// ever locks it.
void AddText(std::vector<Pair>& pairs, const std::string& where, const QPalette& palette, QPalette::ColorRole role,
             Rgb background, bool locked = true)
{
    pairs.push_back({where, ToRgb(palette.color(QPalette::Active, role)), background, true});
    if (locked)
        pairs.push_back({where + " (disabled)", ToRgb(palette.color(QPalette::Disabled, role)), background, false});
}

// Whether the window ever disables the widget: the page controls do, with
// the connection; the status bar (no control id) never does.
bool EverLocked(QWidget* widget)
{
    for (int id = 1; id < kControlIdEnd; ++id)
        if (FindControl(id) == widget)
            return true;
    return false;
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
            AddText(pairs, text.toStdString(), widget->palette(), widget->foregroundRole(), FillBehind(widget),
                    EverLocked(widget));
    }

    // The tab captions, on the fill the panel paints (it paints them alike
    // whether enabled or not).
    QTabBar* bar = Control<QTabWidget>(IdTabPanel)->tabBar();
    const QImage tabs = bar->grab().toImage();
    const QRect tab = bar->tabRect(0);
    pairs.push_back({"tab captions", ToRgb(bar->palette().color(QPalette::WindowText)),
                     ToRgb(tabs.pixelColor(QPoint(tab.left() + 2, tab.center().y()) * tabs.devicePixelRatio())), true});

    // The data list's rows and its background below them, and greyed values
    // (not confirmed by the latest read); the list itself is never locked.
    auto* list = Control<QTableView>(IdDataList);
    ChangeDataListRows([](std::vector<DataRow>& rows) { rows.resize(2); });
    std::array<bool, kDataListColumns> greyed{};
    greyed[1] = true;
    SetGreyedColumns(greyed);
    for (int row : {0, 1}) {
        const Rgb fill = ToRgb(list->model()->index(row, 0).data(Qt::BackgroundRole).value<QBrush>().color());
        AddText(pairs, "data list row " + std::to_string(row), list->palette(), QPalette::Text, fill, false);
        pairs.push_back({"greyed value, row " + std::to_string(row),
                         ToRgb(list->model()->index(row, 1).data(Qt::ForegroundRole).value<QBrush>().color()), fill,
                         false});
    }
    AddText(pairs, "data list below its rows", list->palette(), QPalette::Text,
            ToRgb(list->palette().color(QPalette::Base)), false);

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

// What an area of a picture shows: the colour most of its pixels have (the
// background), the one that stands out most from it (the text), and how
// many pixels stand out at all.
struct Drawn {
    Rgb background;
    Rgb text;
    int textPixels = 0;
};

Drawn Measure(const QImage& image, const QRect& area)
{
    std::map<QRgb, int> counts;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            counts[image.pixel(x, y)]++;
    Drawn drawn;
    if (counts.empty())
        return drawn;
    const auto most = std::max_element(counts.begin(), counts.end(),
                                       [](const auto& a, const auto& b) { return a.second < b.second; });
    drawn.background = ToRgb(QColor(most->first));
    double best = 1;
    for (const auto& [pixel, count] : counts) {
        const double ratio = ContrastRatio(ToRgb(QColor(pixel)), drawn.background);
        if (ratio >= 2)
            drawn.textPixels += count;
        if (ratio > best) {
            best = ratio;
            drawn.text = ToRgb(QColor(pixel));
        }
    }
    return drawn;
}

// The picture of a page as the screen shows it, at one pixel per unit.
QImage PageImage(QWidget* page)
{
    Control<QTabWidget>(IdTabPanel)->setCurrentWidget(page);
    QApplication::processEvents();
    QImage image = page->grab().toImage();
    return image.scaled(page->size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

}  // namespace

TEST(Contrast, LockedFieldsAndGreyedValuesReadOnTheirPixels)
{
    const QPalette light = QApplication::palette();
    for (const bool dark : {false, true}) {
        QApplication::setPalette(dark ? DarkPalette() : light);
        TestWindow();
        SetControlText(IdSerialPortField, "/dev/ttyUSB0");
        // Locked as while connected: the parameters, and the fields of the
        // transport not chosen.
        const int locked[] = {
            IdHostLabel,      IdHostField,         IdPortLabel,       IdPortField,        IdUnitLabel,   IdUnitField,
            IdTransportLabel, IdTransportSelector, IdSerialPortLabel, IdSerialPortField,  IdBaudLabel,   IdBaudSelector,
            IdParityLabel,    IdParitySelector,    IdStopBitsLabel,   IdStopBitsSelector, IdStartLabel,  IdStartField,
            IdLengthLabel,    IdLengthField,       IdScanLabel,       IdScanField,        IdFormatLabel, IdSelectorDI,
            IdSelectorCO,     IdSelectorIR,        IdSelectorHR};
        for (int id : locked)
            EnableControl(id, false);
        for (int id : locked) {
            QWidget* control = FindControl(id);
            const QImage page = PageImage(control->parentWidget());
            // Inside the frame; a selector's text without its arrow.
            QRect area = control->geometry().adjusted(3, 3, -3, -3);
            if (qobject_cast<QComboBox*>(control))
                area.setRight(control->geometry().right() - 24);
            const Drawn drawn = Measure(page, area);
            EXPECT_GT(drawn.textPixels, 10) << id;
            EXPECT_GE(ContrastRatio(drawn.text, drawn.background), 4.5)
                << (dark ? "dark: " : "light: ") << "control " << id << ", " << Name(drawn.text) << " on "
                << Name(drawn.background);
        }

        // Values greyed on the light and the dark rows, apart from live ones.
        auto* list = Control<QTableView>(IdDataList);
        ChangeDataListRows([](std::vector<DataRow>& rows) {
            rows.assign(2, DataRow{});
            for (DataRow& row : rows)
                row[0] = row[1] = QStringLiteral("10001");
        });
        std::array<bool, kDataListColumns> greyed{};
        greyed[1] = true;
        SetGreyedColumns(greyed);
        const QImage page = PageImage(list->parentWidget());
        for (int row : {0, 1}) {
            for (int column : {0, 1}) {
                const QRect cell = list->visualRect(list->model()->index(row, column))
                                       .translated(list->viewport()->mapTo(list->parentWidget(), QPoint()));
                const Drawn drawn = Measure(page, cell);
                const double ratio = ContrastRatio(drawn.text, drawn.background);
                EXPECT_GE(ratio, 4.5) << (dark ? "dark: " : "light: ") << "row " << row << " column " << column << ", "
                                      << Name(drawn.text) << " on " << Name(drawn.background);
                if (column == 1) {
                    EXPECT_LE(ratio, 0.6 * ContrastRatio(kBlack, drawn.background)) << "greyed, row " << row;
                }
            }
        }
    }
    QApplication::setPalette(light);
    TestWindow();
}

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
            EXPECT_GE(ContrastRatio(pair.text, pair.background), 4.5)
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
