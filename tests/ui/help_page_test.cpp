// The Help page as the user sees it after start.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTextDocument>
#include <QTextEdit>

#include "tests/ui/test_window.h"
#include "ui/control_ids.h"

TEST(HelpPage, TheTextFitsThePageAndNamesEveryPage)
{
    QWidget* window = TestWindow();
    auto* pane = Control<QTextEdit>(IdHelpPane);
    auto* tabs = Control<QTabWidget>(IdTabPanel);
    ASSERT_NE(pane, nullptr);
    ASSERT_NE(tabs, nullptr);
    EXPECT_TRUE(pane->isReadOnly());

    // Shown, every line fits the pane's width: nothing is cut or needs
    // scrolling sideways.
    window->show();
    tabs->setCurrentWidget(pane->parentWidget());
    ASSERT_TRUE(PumpUntil([pane] { return pane->isVisible(); }));
    EXPECT_LE(pane->document()->idealWidth(), pane->viewport()->width());
    EXPECT_EQ(pane->horizontalScrollBar()->maximum(), 0);

    const QString text = pane->toPlainText();
    for (int i = 0; i < tabs->count(); ++i)
        EXPECT_TRUE(text.contains(tabs->tabText(i))) << tabs->tabText(i).toStdString();
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
    for (const char* named :
         {"Write value\u2026", "Record to CSV\u2026", "Plot", "trend window", "RTU", "grey italics", "lost link",
          "refuses", "Save Log As\u2026", "response time", "Scan...", "Device settings..."})
        EXPECT_TRUE(text.contains(QString::fromUtf8(named))) << named;
    // The keys that scroll a text scroll it, from the page's tab as from
    // the pane.
    auto* panel = Control<QTabWidget>(IdTabPanel);
    panel->setCurrentWidget(pane->parentWidget());
    QApplication::setActiveWindow(window);
    ASSERT_TRUE(PumpUntil([window] { return window->isActiveWindow(); }));
    QScrollBar* bar = pane->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    for (QWidget* focus : {static_cast<QWidget*>(panel->tabBar()), static_cast<QWidget*>(pane)}) {
        focus->setFocus();
        bar->setValue(0);
        QTest::keyClick(focus, Qt::Key_PageDown);
        EXPECT_GE(bar->value(), bar->pageStep() / 2);
        QTest::keyClick(focus, Qt::Key_End, focus == pane ? Qt::ControlModifier : Qt::NoModifier);
        // At the end: from the pane, Qt brings the caret's line into view
        // and may leave the document's bottom margin below it.
        EXPECT_GE(bar->value(), bar->maximum() - static_cast<int>(pane->document()->documentMargin()))
            << (focus == pane ? "pane" : "tab");
        QTest::keyClick(focus, Qt::Key_PageUp);
        EXPECT_LT(bar->value(), bar->maximum());
    }
    panel->setCurrentIndex(0);
}
