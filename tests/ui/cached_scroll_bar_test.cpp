// A scroll bar that shows its last pictures again.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>
#include <QWidget>

#include "ui/cached_scroll_bar.h"

namespace {

// Two log-like panes side by side, one with the plain bars, one with the
// cached ones, given the same lines. Only the bars are compared: the text's
// caret blinks in whichever pane has the focus.
bool SameBars(QPlainTextEdit& plain, QPlainTextEdit& cached)
{
    QApplication::processEvents();
    const auto picture = [](QScrollBar* bar) { return bar->grab().toImage(); };
    return picture(plain.horizontalScrollBar()) == picture(cached.horizontalScrollBar()) &&
           picture(plain.verticalScrollBar()) == picture(cached.verticalScrollBar());
}

}  // namespace

TEST(CachedScrollBar, DrawsWhatThePlainBarDrawsAsItsRangeAndValueChange)
{
    // In one window, so that both are drawn as active or both as not,
    // whichever other windows are about.
    QWidget window;
    QPlainTextEdit plain(&window), cached(&window);
    cached.setVerticalScrollBar(new CachedScrollBar(Qt::Vertical));
    cached.setHorizontalScrollBar(new CachedScrollBar(Qt::Horizontal));
    for (QPlainTextEdit* pane : {&plain, &cached}) {
        pane->setGeometry(pane == &plain ? 0 : 300, 0, 300, 200);
        pane->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        pane->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    }
    window.resize(600, 200);
    window.show();
    const auto same = [&] { return SameBars(plain, cached); };
    EXPECT_TRUE(same());  // empty
    for (int step = 0; step < 3; ++step) {
        for (QPlainTextEdit* pane : {&plain, &cached}) {
            for (int i = 0; i < 40; ++i)
                pane->appendPlainText(QString(10 + 20 * step, QLatin1Char('x')));
        }
        EXPECT_TRUE(same()) << "after lines, step " << step;
        for (QPlainTextEdit* pane : {&plain, &cached})
            pane->verticalScrollBar()->setValue(pane->verticalScrollBar()->maximum() / 2);
        EXPECT_TRUE(same()) << "after a scroll, step " << step;
    }
    // A full log's round: a line added, the first cut, back to a picture
    // shown before.
    for (int round = 0; round < 3; ++round) {
        for (QPlainTextEdit* pane : {&plain, &cached})
            pane->appendPlainText(QString(30, QLatin1Char('y')));
        EXPECT_TRUE(same()) << "line added, round " << round;
        for (QPlainTextEdit* pane : {&plain, &cached}) {
            QTextCursor first(pane->document());
            first.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
            first.removeSelectedText();
        }
        EXPECT_TRUE(same()) << "first line cut, round " << round;
    }
    for (QPlainTextEdit* pane : {&plain, &cached})
        pane->setEnabled(false);
    EXPECT_TRUE(same()) << "disabled";
}
