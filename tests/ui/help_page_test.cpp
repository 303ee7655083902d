// The Help page as the user sees it after start.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>

#include <set>
#include <string>
#include <vector>

#include "tests/ui/test_window.h"
#include "ui/control_ids.h"

namespace {

const std::vector<std::string> kLines = {
    "- SHORT HELP -",
    "",
    "By Communications Tab, you can:",
    " - Configure the communications parameter with the server",
    " - Set/Reset the Modbus Address Offset",
    " - Send commands to the server",
    " - Start/Stop the conversation with the server",
    "",
    "By View Data Tab, you can:",
    " - Configure the start address of the block to monitor",
    " - Configure the length of the block to monitor",
    " - Configure the scan rate of the reading block",
    " - Select the display and value type of Discrete Inputs, Coil Outputs,",
    "    Input Registers and Holding Registers.",
    " - Change Output Coils and Holding Register values by doubleclick on",
    "    the appropriate cell value and then editing the value and changing",
    "    it. To do this, the client must be connected",
    " - Start/Stop the conversation with the server",
    "",
    "By View Messages Tab, you can:",
    " - To see the length and content of Polls, Valid And Bad Responses",
    "    between Modbus/TCP client and server (only last 300 lines)",
    " - Clear Log messages and Counters that appear in the status bar",
    " - Start/Stop the conversation with the server",
    "",
    "By About Tab, you can:",
    " - To know the application details and contact information",
    "",
    "By Help Tab, you can:",
    " - Get this help",
};

// Every character's format in a line, checked one fragment at a time.
struct LineLook {
    QColor colour;  // invalid: the pane's default
    bool bold, italic, underline;
};

void ExpectLook(const QTextBlock& block, const LineLook& look)
{
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextCharFormat format = it.fragment().charFormat();
        if (look.colour.isValid())
            EXPECT_EQ(format.foreground().color(), look.colour);
        else
            EXPECT_EQ(format.foreground().style(), Qt::NoBrush);
        EXPECT_EQ(format.fontWeight() >= QFont::Bold, look.bold);
        EXPECT_EQ(format.fontItalic(), look.italic);
        EXPECT_EQ(format.fontUnderline(), look.underline);
        EXPECT_FALSE(format.fontStrikeOut());
        EXPECT_FALSE(format.isAnchor());
        EXPECT_EQ(format.verticalAlignment(), QTextCharFormat::AlignNormal);
    }
}

}  // namespace

TEST(HelpPage, TextIsTheThirtyLines)
{
    TestWindow();
    auto* pane = Control<QTextEdit>(IdHelpPane);
    ASSERT_NE(pane, nullptr);
    const QTextDocument* doc = pane->document();
    // First, before what was added since.
    ASSERT_GT(doc->blockCount(), 30);
    for (int i = 0; i < 30; ++i)
        EXPECT_EQ(doc->findBlockByNumber(i).text().toStdString(), kLines[static_cast<size_t>(i)]) << "line " << i;
    EXPECT_TRUE(pane->isReadOnly());
    EXPECT_EQ(pane->lineWrapMode(), QTextEdit::NoWrap);
}

TEST(HelpPage, TitleAndHeadingsAreFormattedLineByLine)
{
    TestWindow();
    const QTextDocument* doc = Control<QTextEdit>(IdHelpPane)->document();
    const std::set<int> headings = {2, 8, 19, 25, 28};
    for (int i = 0; i < 30; ++i) {
        SCOPED_TRACE("line " + std::to_string(i));
        const QTextBlock block = doc->findBlockByNumber(i);
        if (i == 0) {
            ExpectLook(block, {QColor(255, 102, 0), true, true, false});
            EXPECT_TRUE(block.blockFormat().alignment() & Qt::AlignHCenter);
        } else {
            if (headings.count(i))
                ExpectLook(block, {QColor(0, 0, 255), true, true, true});
            else
                ExpectLook(block, {QColor(), false, false, false});
            EXPECT_FALSE(block.blockFormat().alignment() & (Qt::AlignHCenter | Qt::AlignRight));
        }
    }
}

TEST(HelpPage, CaretAtTheTopWithNothingSelected)
{
    TestWindow();
    auto* pane = Control<QTextEdit>(IdHelpPane);
    EXPECT_FALSE(pane->textCursor().hasSelection());
    EXPECT_EQ(pane->textCursor().position(), 0);
    EXPECT_EQ(pane->verticalScrollBar()->value(), 0);
    EXPECT_TRUE(pane->updatesEnabled());
}

TEST(HelpPage, LaidOutWhenFirstShown)
{
    // The pane is laid out only once it is shown; the screen must then show
    // what a pane laid out anew shows.
    TestWindow();
    auto* pane = Control<QTextEdit>(IdHelpPane);
    Control<QTabWidget>(IdTabPanel)->setCurrentWidget(pane->parentWidget());
    const QImage shown = ScreenImage(pane);
    pane->setLineWrapMode(QTextEdit::WidgetWidth);
    pane->setLineWrapMode(QTextEdit::NoWrap);
    EXPECT_TRUE(shown == ScreenImage(pane));
}

TEST(HelpPage, MoreHelpNamesWhatCameSinceAndTheKeysScrollIt)
{
    QWidget* window = TestWindow();
    auto* pane = Control<QTextEdit>(IdHelpPane);
    const QString text = pane->toPlainText();
    for (const char* named : {"Write value\u2026", "Record to CSV\u2026", "Plot", "trend window", "RTU", "grey italics",
                              "lost link", "refuses", "Save Log As\u2026", "response time"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(named))) << named;
    // Its title and headings look like those above.
    const QTextDocument* doc = pane->document();
    for (int i = 30; i < doc->blockCount(); ++i) {
        const QTextBlock block = doc->findBlockByNumber(i);
        if (block.text() == "- MORE HELP -")
            ExpectLook(block, {QColor(255, 102, 0), true, true, false});
        else if (block.text().startsWith("By ") || block.text() == "Good to know:")
            ExpectLook(block, {QColor(0, 0, 255), true, true, true});
    }

    // Every line fits: no horizontal scroll bar. The keys that scroll a
    // text scroll it, from the page's tab as from the pane.
    auto* panel = Control<QTabWidget>(IdTabPanel);
    panel->setCurrentWidget(pane->parentWidget());
    QApplication::setActiveWindow(window);
    ASSERT_TRUE(PumpUntil([window] { return window->isActiveWindow(); }));
    EXPECT_FALSE(pane->horizontalScrollBar()->isVisible());
    QScrollBar* bar = pane->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    for (QWidget* focus : {static_cast<QWidget*>(panel->tabBar()), static_cast<QWidget*>(pane)}) {
        focus->setFocus();
        bar->setValue(0);
        QTest::keyClick(focus, Qt::Key_PageDown);
        EXPECT_GE(bar->value(), bar->pageStep() / 2);
        QTest::keyClick(focus, Qt::Key_End, focus == pane ? Qt::ControlModifier : Qt::NoModifier);
        EXPECT_EQ(bar->value(), bar->maximum());
        QTest::keyClick(focus, Qt::Key_PageUp);
        EXPECT_LT(bar->value(), bar->maximum());
    }
    panel->setCurrentIndex(0);
}
