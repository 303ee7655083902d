// Selecting, colouring and formatting lines of a text pane, and what the log
// pane relies on in Qt.
#include <gtest/gtest.h>

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextCursor>

#include <atomic>
#include <thread>

#include "tests/ui/test_window.h"
#include "ui/control_ids.h"
#include "ui/text_panes.h"

namespace {

// The message log, emptied and filled with three lines.
class TextPanes : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestWindow();
        Control<QTabWidget>(IdTabPanel)->setCurrentIndex(2);  // the log in view
        pane = Control<QPlainTextEdit>(IdMessageLog);
        // The pane as any other, not the log that follows its end.
        SetEditorFollowsEnd(IdMessageLog, false);
        ClearEditor(IdMessageLog);
        AppendEditorText(IdMessageLog, "first\r\nsecond line\nthird");
    }
    int Start() const { return pane->textCursor().selectionStart(); }
    int End() const { return pane->textCursor().selectionEnd(); }
    QPlainTextEdit* pane = nullptr;
};

}  // namespace

TEST_F(TextPanes, AppendSplitsLinesAtEveryKindOfLineEnd)
{
    EXPECT_EQ(EditorLineCount(IdMessageLog), 3);
    AppendEditorText(IdMessageLog, " more\rlast");
    EXPECT_EQ(EditorLineCount(IdMessageLog), 4);
    EXPECT_EQ(EditorLineText(IdMessageLog, 2), "third more");
    EXPECT_EQ(EditorLineText(IdMessageLog, 3), "last");
    EXPECT_EQ(EditorLineText(IdMessageLog, 9), "");

    ClearEditor(IdMessageLog);
    EXPECT_TRUE(EditorIsEmpty(IdMessageLog));
    EXPECT_EQ(EditorLineCount(IdMessageLog), 1);
    AppendEditorText(IdMessageLog, "only");
    EXPECT_EQ(pane->toPlainText(), "only");  // no leading line break
}

TEST_F(TextPanes, SelectionByLineAndCharacter)
{
    // "first\nsecond line\nthird": line 1 starts at 6, line 2 at 18.
    SelectEditorRange(IdMessageLog, 1, 1, 1, -1);
    EXPECT_EQ(Start(), 6);
    EXPECT_EQ(End(), 17);
    EXPECT_EQ(pane->textCursor().selectedText(), "second line");

    SelectEditorRange(IdMessageLog, 0, 3, -1, -1);  // -1: the last line, to its end
    EXPECT_EQ(Start(), 2);
    EXPECT_EQ(End(), 23);

    SelectEditorRange(IdMessageLog, 2, 1, 2, 1);  // a caret
    EXPECT_FALSE(pane->textCursor().hasSelection());
    EXPECT_EQ(pane->textCursor().position(), 18);

    // Positions beyond the text are held at its end.
    SelectEditorRange(IdMessageLog, 2, 3, 7, 50);
    EXPECT_EQ(Start(), 20);
    EXPECT_EQ(End(), 23);
    SelectEditorRange(IdMessageLog, 0, 1, 0, 999);
    EXPECT_EQ(End(), 23);
}

TEST_F(TextPanes, ColourAndEffectsTouchOnlyTheSelection)
{
    SelectEditorRange(IdMessageLog, 1, 1, 1, -1);
    SetSelectionColour(IdMessageLog, kRed);
    SetSelectionEffects(IdMessageLog, EffectBold | EffectUnderline, 0);
    EXPECT_EQ(GetSelectionEffects(IdMessageLog), EffectBold | EffectUnderline);

    // Setting effects replaces all seven; the colour stays.
    SetSelectionEffects(IdMessageLog, EffectItalic | EffectStrikeout | EffectLink | EffectSuperscript, 0);
    EXPECT_EQ(GetSelectionEffects(IdMessageLog), EffectItalic | EffectStrikeout | EffectLink | EffectSuperscript);
    SetSelectionEffects(IdMessageLog, EffectSubscript, 0);
    EXPECT_EQ(GetSelectionEffects(IdMessageLog), EffectSubscript);

    // Toggle: the current set exclusive-or the given one.
    SetSelectionEffects(IdMessageLog, EffectBold, 0);
    SetSelectionEffects(IdMessageLog, EffectBold | EffectItalic, 1);
    EXPECT_EQ(GetSelectionEffects(IdMessageLog), EffectItalic);

    const QTextDocument* doc = pane->document();
    auto formatAt = [doc](int line) { return doc->findBlockByNumber(line).begin().fragment().charFormat(); };
    EXPECT_EQ(formatAt(1).foreground().color(), QColor(255, 0, 0));
    EXPECT_EQ(formatAt(0).foreground().style(), Qt::NoBrush);
    EXPECT_FALSE(formatAt(0).fontItalic());
    EXPECT_FALSE(formatAt(2).fontItalic());
    // The line break after the selection keeps its format too.
    EXPECT_EQ(doc->findBlockByNumber(1).text(), "second line");
}

TEST_F(TextPanes, AlignmentAppliesToTheSelectedParagraphs)
{
    SelectEditorRange(IdMessageLog, 0, 2, 1, 2);
    SetParagraphAlignment(IdMessageLog, ParagraphRight);
    const QTextDocument* doc = pane->document();
    EXPECT_TRUE(doc->findBlockByNumber(0).blockFormat().alignment() & Qt::AlignRight);
    EXPECT_TRUE(doc->findBlockByNumber(1).blockFormat().alignment() & Qt::AlignRight);
    EXPECT_FALSE(doc->findBlockByNumber(2).blockFormat().alignment() & Qt::AlignRight);
    SetParagraphAlignment(IdMessageLog, 9);  // not an alignment: nothing changes
    EXPECT_TRUE(doc->findBlockByNumber(0).blockFormat().alignment() & Qt::AlignRight);
    SetParagraphAlignment(IdMessageLog, ParagraphCentred);
    EXPECT_TRUE(doc->findBlockByNumber(1).blockFormat().alignment() & Qt::AlignHCenter);
}

TEST_F(TextPanes, RemovingFirstLinesKeepsTheNewest)
{
    for (int i = 0; i < 7; ++i)
        AppendEditorText(IdMessageLog, "\r\nline " + std::to_string(i));
    RemoveFirstEditorLines(IdMessageLog, 4);
    ASSERT_EQ(EditorLineCount(IdMessageLog), 4);
    EXPECT_EQ(EditorLineText(IdMessageLog, 0), "line 3");
    EXPECT_EQ(EditorLineText(IdMessageLog, 3), "line 6");
    RemoveFirstEditorLines(IdMessageLog, 10);  // fewer lines already: unchanged
    EXPECT_EQ(EditorLineCount(IdMessageLog), 4);
}

TEST_F(TextPanes, HiddenSelectionDoesNotMoveTheView)
{
    for (int i = 0; i < 200; ++i)
        AppendEditorText(IdMessageLog, "\r\nline " + std::to_string(i));
    pane->verticalScrollBar()->setValue(0);
    HideEditorSelection(IdMessageLog);
    SelectEditorRange(IdMessageLog, -1, 1, -1, -1);
    ShowEditorSelection(IdMessageLog);
    EXPECT_EQ(pane->verticalScrollBar()->value(), 0);
    EXPECT_TRUE(pane->updatesEnabled());

    ScrollCaretIntoView(IdMessageLog);
    EXPECT_GT(pane->verticalScrollBar()->value(), 0);
}

TEST_F(TextPanes, OperationsFromAWorkerThread)
{
    std::atomic<bool> done{false};
    int effects = -1;
    std::thread worker([&] {
        AppendEditorText(IdMessageLog, "\r\nfrom worker");
        SelectEditorRange(IdMessageLog, -1, 1, -1, -1);
        SetSelectionEffects(IdMessageLog, EffectBold, 0);
        effects = GetSelectionEffects(IdMessageLog);
        done = true;
    });
    EXPECT_TRUE(PumpUntil([&] { return done.load(); }));
    worker.join();
    EXPECT_EQ(effects, EffectBold);
    EXPECT_EQ(pane->textCursor().selectedText(), "from worker");
}

TEST_F(TextPanes, IdsThatAreNotPanesDoNothing)
{
    SelectEditorRange(IdHostField, 0, 1, 0, -1);
    SetSelectionColour(IdHostField, kRed);
    AppendEditorText(IdHostField, "x");
    EXPECT_EQ(EditorLineCount(IdHostField), 0);
    EXPECT_EQ(GetSelectionEffects(kControlCount), 0);
    EXPECT_EQ(GetControlText(IdHostField), "127.0.0.1");
}

// The log pane edits its document with the layout's signals blocked and then
// emits the size change itself (QuietEdit, HeldView in text_panes.cpp). That
// holds only while a plain pane learns of its document's changes through
// those signals alone, and sets its scroll bars from documentSizeChanged as
// it would have on its own: a Qt that does otherwise fails here.
TEST(QtPlainTextLayout, APaneHearsOfEditsOnlyThroughTheLayoutsSignals)
{
    QWidget window;
    QPlainTextEdit told(&window), quiet(&window);
    for (QPlainTextEdit* pane : {&told, &quiet}) {
        pane->setGeometry(pane == &told ? 0 : 300, 0, 300, 200);
        pane->setPlainText(QStringLiteral("first"));
    }
    window.show();
    QApplication::processEvents();
    const int before = quiet.verticalScrollBar()->maximum();

    const auto addLines = [](QPlainTextEdit& pane) {
        QTextCursor end(pane.document());
        end.movePosition(QTextCursor::End);
        for (int i = 0; i < 50; ++i)
            end.insertText(QStringLiteral("\nline"));
    };
    addLines(told);
    QAbstractTextDocumentLayout* layout = quiet.document()->documentLayout();
    layout->blockSignals(true);
    addLines(quiet);
    QApplication::processEvents();
    EXPECT_EQ(quiet.verticalScrollBar()->maximum(), before) << "the pane heard of the edit some other way";

    layout->blockSignals(false);
    emit layout->documentSizeChanged(layout->documentSize());
    QApplication::processEvents();
    EXPECT_GT(told.verticalScrollBar()->maximum(), before);
    EXPECT_EQ(quiet.verticalScrollBar()->maximum(), told.verticalScrollBar()->maximum());
}
