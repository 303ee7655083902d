// The message log and the counter fields, driven as the poll worker does.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRect>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

#include <atomic>
#include <string>
#include <thread>

#include "app/application.h"
#include "engine/message_log.h"
#include "engine/program_state.h"
#include "modbus/log_format.h"
#include "tests/ui/test_window.h"
#include "ui/control_ids.h"
#include "ui/text_panes.h"

namespace {

const uint8_t kRequest[12] = {0x00, 0x01, 0x00, 0x00, 0x00, 0x06, 0x01, 0x02, 0x00, 0x01, 0x00, 0x64};
const uint8_t kResponse[10] = {0x00, 0x01, 0x00, 0x00, 0x00, 0x04, 0x01, 0x02, 0x01, 0x05};

class MessageLog : public ::testing::Test {
protected:
    void SetUp() override
    {
        InstallHandlers();  // the clear button's click reaches the program
        TestWindow();
        ShowPage(kPageViewMessages);
        pane = Control<QPlainTextEdit>(IdMessageLog);
        ClearLogAndCounters();
    }

    static constexpr int kPageCommunications = 0;
    static constexpr int kPageViewMessages = 2;
    static void ShowPage(int page) { Control<QTabWidget>(IdTabPanel)->setCurrentIndex(page); }

    // One valid read transaction as the worker logs it.
    static void ValidRead(int n)
    {
        AppendLogLine(FormatRequestLine(kRequest, 12), kBlue);
        AppendLogLine(FormatResponseLine(kResponse, 10) + " #" + std::to_string(n), kBlack);
        AppendLogLine(FormatElapsedLine(n % 20), kDarkGrey);
        TrimLog();
        ScrollLogToEnd();
    }

    // One read answered with an exception, as the worker logs it.
    static void ExceptionRead()
    {
        AppendLogLine(FormatRequestLine(kRequest, 12), kBlue);
        AppendLogLine("<-: 9 bytes 00 01 00 00 00 03 01 82 02", kRed);
        AppendLogLine(FormatElapsedLine(3), kDarkGrey);
    }

    // Once the window has painted (a frame is at most 16 ms): the view is at
    // the end of a log longer than it, and the last line shows.
    bool EndInView() const
    {
        const QScrollBar* bar = pane->verticalScrollBar();
        return QTest::qWaitFor([&] { return bar->value() == bar->maximum(); }, 100) && bar->maximum() > 0 &&
               pane->viewport()->rect().contains(pane->cursorRect(QTextCursor(pane->document()->lastBlock())).center());
    }

    QColor LineColour(int line) const
    {
        return pane->document()->findBlockByNumber(line).begin().fragment().charFormat().foreground().color();
    }

    QPlainTextEdit* pane = nullptr;
};

}  // namespace

TEST_F(MessageLog, LinesTakeTheirColourAndTheSelectionFollowsTheKind)
{
    AppendLogLine(FormatRequestLine(kRequest, 12), kBlue);
    EXPECT_EQ(pane->toPlainText().toStdString(), "->: 12 bytes 00 01 00 00 00 06 01 02 00 01 00 64");
    // A request line stays selected.
    EXPECT_EQ(pane->textCursor().selectedText().toStdString(), FormatRequestLine(kRequest, 12));

    AppendLogLine("<-: 9 bytes 00 01 00 00 00 03 01 82 02", kRed);
    AppendLogLine(FormatElapsedLine(16), kDarkGrey);
    ASSERT_EQ(pane->document()->blockCount(), 3);
    EXPECT_EQ(LineColour(0), QColor(0, 0, 255));
    EXPECT_EQ(LineColour(1), QColor(255, 0, 0));
    EXPECT_EQ(LineColour(2), QColor(64, 64, 64));
    // After an elapsed-time line the caret sits at the start of that line.
    EXPECT_FALSE(pane->textCursor().hasSelection());
    EXPECT_EQ(pane->textCursor().position(), pane->document()->findBlockByNumber(2).position());
}

TEST_F(MessageLog, ALineBreakInsideATextDoesNotSplitTheLine)
{
    AppendLogLine("one\r\ntwo", kBlack);
    EXPECT_EQ(pane->document()->blockCount(), 1);
    EXPECT_EQ(pane->toPlainText(), "one  two");
}

TEST_F(MessageLog, FourHundredValidReadsLeaveTheNewestThreeHundredLinesInView)
{
    for (int n = 0; n < 400; ++n)
        ValidRead(n);
    ASSERT_EQ(pane->document()->blockCount(), 300);
    // 1200 lines were written; the last 300 are the last 100 transactions.
    EXPECT_EQ(pane->document()->findBlockByNumber(0).text().toStdString(), FormatRequestLine(kRequest, 12));
    EXPECT_EQ(pane->document()->findBlockByNumber(1).text().toStdString(), FormatResponseLine(kResponse, 10) + " #300");
    EXPECT_EQ(pane->document()->lastBlock().text().toStdString(), FormatElapsedLine(399 % 20));
    EXPECT_EQ(LineColour(299), QColor(64, 64, 64));
    EXPECT_EQ(LineColour(298), QColor(0, 0, 0));
    EXPECT_EQ(LineColour(297), QColor(0, 0, 255));
    // The caret at the start of the last line is inside the visible area.
    EXPECT_TRUE(pane->viewport()->rect().contains(pane->cursorRect().center()));
}

TEST_F(MessageLog, LinesWithoutAValidReadAreNotCut)
{
    for (int n = 0; n < 320; ++n)
        AppendLogLine(FormatRequestLine(kRequest, 12), kBlue);
    EXPECT_EQ(pane->document()->blockCount(), 320);
    TrimLog();
    EXPECT_EQ(pane->document()->blockCount(), 300);
}

TEST_F(MessageLog, WorkerLinesArriveWholeAndInOrder)
{
    std::atomic<bool> done{false};
    std::thread worker([&] {
        for (int n = 0; n < 50; ++n)
            ValidRead(n);
        done = true;
    });
    EXPECT_TRUE(PumpUntil([&] { return done.load(); }));
    worker.join();
    ASSERT_EQ(pane->document()->blockCount(), 150);
    for (int n = 0; n < 50; ++n) {
        EXPECT_EQ(pane->document()->findBlockByNumber(3 * n + 1).text().toStdString(),
                  FormatResponseLine(kResponse, 10) + " #" + std::to_string(n));
        EXPECT_EQ(LineColour(3 * n), QColor(0, 0, 255));
    }
}

TEST_F(MessageLog, CounterFieldsShowTheCounts)
{
    program.pollCount = 12;
    program.validCount = 10;
    program.badCount = -3;  // a wrapped count is shown as it is
    RefreshCounterFields();
    EXPECT_EQ(GetStatusField(StatusPolls), "Polls: 12");
    EXPECT_EQ(GetStatusField(StatusValid), "Valid: 10");
    EXPECT_EQ(GetStatusField(StatusBad), "Bad: -3");
}

TEST_F(MessageLog, ClearButtonResetsCountsAndLogButNotTheStatusText)
{
    program.pollCount = 5;
    program.validCount = 4;
    program.badCount = 1;
    RefreshCounterFields();
    AppendLogLine(FormatRequestLine(kRequest, 12), kBlue);
    SetStatusField(StatusText, "Read Status: OK");

    QTest::mouseClick(Control<QPushButton>(IdClearLog), Qt::LeftButton);

    EXPECT_EQ(program.pollCount.load(), 0);
    EXPECT_EQ(program.validCount.load(), 0);
    EXPECT_EQ(program.badCount.load(), 0);
    EXPECT_EQ(GetStatusField(StatusPolls), "Polls: 0");
    EXPECT_EQ(GetStatusField(StatusValid), "Valid: 0");
    EXPECT_EQ(GetStatusField(StatusBad), "Bad: 0");
    EXPECT_TRUE(pane->document()->isEmpty());
    EXPECT_EQ(GetStatusField(StatusText), "Read Status: OK");

    // The next line starts the log afresh, without a leading blank line.
    AppendLogLine(FormatElapsedLine(1), kDarkGrey);
    EXPECT_EQ(pane->document()->blockCount(), 1);
}

TEST_F(MessageLog, LinesAddedOutOfViewWaitForTheLogToBeShown)
{
    // Past the ceiling, so every line also cuts one from the top.
    ShowPage(kPageCommunications);
    const std::string request = FormatRequestLine(kRequest, 12);
    for (int n = 0; n < 2100; ++n)
        AppendLogLine(request + " #" + std::to_string(n), kBlue);
    EXPECT_TRUE(pane->document()->isEmpty());
    EXPECT_EQ(EditorLineCount(IdMessageLog), 2000);
    EXPECT_EQ(EditorLineText(IdMessageLog, 0), request + " #100");
    EXPECT_EQ(EditorLineText(IdMessageLog, 1999), request + " #2099");
    ShowPage(kPageViewMessages);
    EXPECT_EQ(pane->document()->blockCount(), 2000);
    EXPECT_EQ(pane->document()->lastBlock().text().toStdString(), request + " #2099");
}

TEST_F(MessageLog, ALogOutOfViewLooksTheSameOnceShown)
{
    // Out of view the log is not laid out; shown again it must look as if
    // it had been in view all along: text, caret or selection, scroll.
    struct View {
        std::string text, selected;
        int caret, scroll, lines;
        bool operator==(const View&) const = default;
    };
    const std::string request = FormatRequestLine(kRequest, 12);
    auto run = [&](int laterReads) {
        for (int n = 0; n < 400; ++n)
            ValidRead(n);
        // Unanswered requests: selected, the view stays, the ceiling cuts.
        for (int n = 0; n < 1800; ++n)
            AppendLogLine(request, kBlue);
        for (int n = 0; n < laterReads; ++n)
            ValidRead(n);
        AppendLogLine(request, kBlue);
        ShowPage(kPageViewMessages);
        QTest::qWait(50);  // past the next frame, which follows the end
        return View{pane->toPlainText().toStdString(), pane->textCursor().selectedText().toStdString(),
                    pane->textCursor().position(), pane->verticalScrollBar()->value(), pane->document()->blockCount()};
    };
    for (int laterReads : {0, 1}) {
        ClearLogAndCounters();
        const View inView = run(laterReads);
        ClearLogAndCounters();
        ShowPage(kPageCommunications);
        const View outOfView = run(laterReads);
        EXPECT_TRUE(outOfView == inView) << "later reads " << laterReads << ": lines " << outOfView.lines << "/"
                                         << inView.lines << ", scroll " << outOfView.scroll << "/" << inView.scroll
                                         << ", caret " << outOfView.caret << "/" << inView.caret;
        EXPECT_EQ(outOfView.selected, request);
        EXPECT_GT(outOfView.scroll, 0);
    }
    EXPECT_EQ(LineColour(300), QColor(0, 0, 255));
}

TEST_F(MessageLog, TheLogInViewShowsWhatPaintingItWholeWould)
{
    // Lines added below the view and cut above it repaint only what changed:
    // after each step is painted, the screen must show what painting the
    // whole log gives.
    auto screen = [&] { return ScreenImage(pane->viewport()); };
    auto check = [&](const char* when) {
        const QImage shown = screen();
        pane->viewport()->update();
        EXPECT_TRUE(shown == screen()) << when;
    };
    auto paintedReads = [&](int from, int to) {
        for (int n = from; n < to; ++n) {
            ValidRead(n);
            screen();
        }
    };
    paintedReads(0, 3);
    check("fewer lines than rows");
    for (int n = 3; n < 100; ++n)
        ValidRead(n);
    paintedReads(100, 103);
    check("cut after every read, at the end");
    AppendLogLine(FormatRequestLine(kRequest, 12), kBlue);
    check("a request selected below the view");
    for (int top : {0, 150}) {
        pane->verticalScrollBar()->setValue(top);
        screen();
        AppendLogLine(FormatRequestLine(kRequest, 12), kBlue);
        EXPECT_EQ(pane->verticalScrollBar()->value(), top) << "a line added moves no view";
        EXPECT_EQ(pane->horizontalScrollBar()->value(), 0);
        paintedReads(110 + top, 112 + top);
        check(top == 0 ? "scrolled to the top" : "scrolled to the middle");
    }
    for (int n = 0; n < 80; ++n)
        AppendLogLine(FormatRequestLine(kRequest, 12), kBlue);
    screen();
    paintedReads(999, 1000);
    check("a cut of more lines than the view shows");
}

TEST_F(MessageLog, TheNewestLineShowsAfterLinesOfEveryOutcome)
{
    for (int n = 0; n < 30; ++n)
        ExceptionRead();
    EXPECT_TRUE(EndInView()) << "exception responses";
    AppendLogLine(FormatRequestLine(kRequest, 12), kBlue);
    EXPECT_TRUE(EndInView()) << "request";
    AppendLogLine(FormatElapsedLine(3), kDarkGrey);
    EXPECT_TRUE(EndInView()) << "elapsed time";
    ValidRead(0);
    EXPECT_TRUE(EndInView()) << "valid read";
}

TEST_F(MessageLog, ScrolledUpTheLogStaysUntilTheUserIsBackAtTheEnd)
{
    QScrollBar* bar = pane->verticalScrollBar();
    for (int n = 0; n < 100; ++n)
        ExceptionRead();
    bar->setValue(bar->maximum() - 40);  // the user scrolls up to read
    const int top = bar->value();
    ExceptionRead();
    ValidRead(0);      // the cut to 300 lines, and no scroll
    QTest::qWait(50);  // past the next frame
    EXPECT_EQ(pane->document()->blockCount(), 300);
    EXPECT_EQ(bar->value(), top);

    bar->setValue(bar->maximum());
    ExceptionRead();
    EXPECT_TRUE(EndInView());

    // Out of view, lines wait; shown again, the log is where the user left it.
    ShowPage(kPageCommunications);
    for (int n = 0; n < 20; ++n)
        ExceptionRead();
    ShowPage(kPageViewMessages);
    EXPECT_TRUE(EndInView()) << "was at the end";
    bar->setValue(10);
    ShowPage(kPageCommunications);
    ExceptionRead();
    ValidRead(1);
    ShowPage(kPageViewMessages);
    QTest::qWait(50);
    EXPECT_EQ(bar->value(), 10) << "was scrolled up";
}
