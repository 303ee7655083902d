#include "ui/text_panes.h"

#include <QAbstractTextDocumentLayout>
#include <QEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextLayout>

#include <algorithm>
#include <deque>
#include <map>

#include "ui/controls.h"
#include "ui/gui_call.h"
#include "ui/widgets.h"

namespace {

// See AppendEditorLine.
constexpr int kLinesKeepingGlyphs = 400;

// Sets a pane's caret (or selection) without moving its view. Setting it
// scrolls to it; with the scroll bars held where they are meanwhile, there
// is nowhere to scroll to, and nothing to copy there and back.
template <class Edit>
void SetCaretKeepingView(Edit* pane, const QTextCursor& caret)
{
    QScrollBar* bars[] = {pane->horizontalScrollBar(), pane->verticalScrollBar()};
    int minimum[2], maximum[2];
    for (int i = 0; i < 2; ++i) {
        const QSignalBlocker quiet(bars[i]);
        minimum[i] = bars[i]->minimum();
        maximum[i] = bars[i]->maximum();
        bars[i]->setRange(bars[i]->value(), bars[i]->value());
    }
    pane->setTextCursor(caret);
    for (int i = 0; i < 2; ++i) {
        const QSignalBlocker quiet(bars[i]);
        bars[i]->setRange(minimum[i], maximum[i]);
    }
}

// The view shows the end: the vertical scroll bar at its maximum, which
// includes a pane too short to scroll.
bool AtEnd(const QScrollBar* vertical)
{
    return vertical->value() >= vertical->maximum();
}

int LastPosition(const QTextDocument* doc)
{
    return std::max(0, doc->characterCount() - 1);
}

// Inside an edit at the document's end: text as the new last line in colour
// (an empty document takes it as its only line). With keepGlyphs the line
// keeps its shaped glyphs once laid out.
void InsertLastLine(QTextCursor& end, const QString& text, const QColor& colour, bool keepGlyphs)
{
    if (!end.document()->isEmpty())
        end.insertBlock(QTextBlockFormat(), QTextCharFormat());
    if (keepGlyphs)
        end.block().layout()->setCacheEnabled(true);
    QTextCharFormat format;
    format.setForeground(colour);
    end.insertText(text, format);
}

// A caret at the start of the last line, or the last line selected. Placed
// inside an edit: moving it would lay out the line it starts from.
QTextCursor LastLineCaret(QTextDocument* doc, bool selectLine)
{
    QTextCursor caret(doc->lastBlock());
    if (selectLine) {
        caret.beginEditBlock();
        caret.setPosition(LastPosition(doc), QTextCursor::KeepAnchor);
        caret.endEditBlock();
    }
    return caret;
}

// While the log is out of view (another page is shown) its document is left
// alone: new lines wait in a list and cuts from the top are counted, and the
// caret waits too, so a line costs neither a document edit nor text
// shaping. Shown again, the document takes them in one edit and the view
// catches up before it is painted; so does any other operation on the pane,
// except reading its lines and the scroll to the end that follows a valid
// read.
//
// The same object carries the pane's switch to follow its end (see
// SetEditorFollowsEnd): while out of view the user cannot scroll, so a pane
// that showed its end when it was hidden shows the end when it is shown.
// In view, the lines that came while the view showed the end are followed
// when the window is about to paint them: all the lines of a frame (a
// poll's request, answer and time, say) then cost one scroll, and none when
// a cut already brought the end into view. The window's update requests are
// watched for that; switched on while the window is built, before its
// repaints are paced, the watch sees only the requests that paint.
class HeldView : public QObject {
public:
    static constexpr const char* kName = "sorbel-held-view";

    explicit HeldView(QPlainTextEdit* pane) : QObject(pane), pane_(pane)
    {
        setObjectName(QLatin1String(kName));
        pane->installEventFilter(this);
        // The user scrolled up before a line was followed: it is not.
        connect(pane->verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
            if (value < pane_->verticalScrollBar()->maximum())
                followPending_ = false;
        });
    }

    bool Held() const { return held_; }
    bool FollowsEnd() const { return followsEnd_; }
    void SetFollowsEnd(bool follow)
    {
        followsEnd_ = follow;
        if (window_)
            window_->removeEventFilter(this);
        window_ = follow ? pane_->window() : nullptr;
        if (window_)
            window_->installEventFilter(this);
        if (!follow)
            followPending_ = false;
    }

    // Whether the view is at the end, or is to be once a new line is followed.
    bool EndInView() const { return followPending_ || AtEnd(pane_->verticalScrollBar()); }
    void FollowLater() { followPending_ = true; }
    void FollowNow()
    {
        if (!followPending_)
            return;
        followPending_ = false;
        QScrollBar* vertical = pane_->verticalScrollBar();
        vertical->setValue(vertical->maximum());
    }

    void Hold()
    {
        if (held_)
            return;
        FollowNow();
        held_ = true;
        caret_ = pane_->textCursor();
        const QTextDocument* doc = pane_->document();
        docLines_ = doc->isEmpty() ? 0 : doc->blockCount();
        pane_->document()->documentLayout()->blockSignals(true);
    }

    // The lines as they would be: what is left of the document's after the
    // cuts, then the waiting ones. An empty pane has one (empty) line.
    int LineCount() const { return std::max(1, Lines()); }
    bool IsEmpty() const { return Lines() == 0; }
    QString LineText(int line) const
    {
        const int inDocument = docLines_ - cut_;
        if (line < 0)
            return {};
        if (line < inDocument)
            return pane_->document()->findBlockByNumber(line + cut_).text();
        const auto waiting = static_cast<size_t>(line - inDocument);
        return waiting < waiting_.size() ? waiting_[waiting].text : QString();
    }

    void Append(const QString& text, const QColor& colour, bool selectLine)
    {
        waiting_.push_back({text, colour});
        lastLine_ = selectLine ? LastLineSelected : LastLineStart;
        // The document's ceiling holds for the waiting lines too.
        if (const int ceiling = pane_->document()->maximumBlockCount(); ceiling > 0)
            Cut(ceiling);
    }
    void Cut(int maxLines)
    {
        int surplus = Lines() - maxLines;
        if (surplus <= 0)
            return;
        const int fromDocument = std::min(surplus, docLines_ - cut_);
        cut_ += fromDocument;
        surplus -= fromDocument;
        waiting_.erase(waiting_.begin(), waiting_.begin() + surplus);
    }

    // Scrolling to a caret at the start of the last line (the log after a
    // valid read) is noted, not done: it puts the view at the end as it was
    // then. False for any other caret.
    bool NoteScrollToEnd()
    {
        if (lastLine_ == LastLineSelected)
            return false;
        if (lastLine_ == CaretKept &&
            (caret_.hasSelection() || caret_.position() != pane_->document()->lastBlock().position()))
            return false;
        linesAtScroll_ = LineCount();
        return true;
    }

    void CatchUp()
    {
        if (!held_)
            return;
        held_ = false;
        // The scroll bars are as they were when the pane was hidden.
        const bool toEnd = followsEnd_ && AtEnd(pane_->verticalScrollBar());
        QTextDocument* doc = pane_->document();
        ApplyWaiting(doc);
        QAbstractTextDocumentLayout* layout = doc->documentLayout();
        layout->blockSignals(false);
        // What the layout did not tell the view: its size, and everything
        // is to be painted anew.
        emit layout->documentSizeChanged(layout->documentSize());
        pane_->viewport()->update();
        QScrollBar* vertical = pane_->verticalScrollBar();
        if (toEnd) {
            vertical->setValue(vertical->maximum());
        } else if (linesAtScroll_ > 0) {
            // Every line is one row of the view, so the end as it was then
            // lies as many rows above today's end as lines came since; lines
            // cut from the top since leave the view where it was, as far as
            // the text still reaches.
            const int end = vertical->maximum();
            const int rowsInView = doc->blockCount() - end;
            vertical->setValue(std::clamp(linesAtScroll_ - rowsInView, 0, end));
        }
        if (linesAtScroll_ > 0)
            pane_->horizontalScrollBar()->setValue(0);
        linesAtScroll_ = 0;
        SetCaretKeepingView(pane_, caret_);
        caret_ = QTextCursor();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == pane_ && event->type() == QEvent::Show)
            CatchUp();
        else if (watched == window_ && event->type() == QEvent::UpdateRequest)
            FollowNow();
        return false;
    }

private:
    struct Line {
        QString text;
        QColor colour;
    };
    // Where the caret goes once the waiting lines are in.
    enum LastLine { CaretKept, LastLineStart, LastLineSelected };

    int Lines() const { return docLines_ - cut_ + static_cast<int>(waiting_.size()); }

    // The cuts and the waiting lines, in one edit. The cursors are only
    // placed inside it: moving one would lay out the line it starts from.
    void ApplyWaiting(QTextDocument* doc)
    {
        if (cut_ > 0 || !waiting_.empty()) {
            QTextCursor edit(doc);
            edit.beginEditBlock();
            if (cut_ > 0) {
                const QTextBlock kept = doc->findBlockByNumber(cut_);
                edit.setPosition(kept.isValid() ? kept.position() : LastPosition(doc), QTextCursor::KeepAnchor);
                edit.removeSelectedText();
            }
            edit.setPosition(LastPosition(doc));
            for (const Line& line : waiting_)
                InsertLastLine(edit, line.text, line.colour, false);
            edit.endEditBlock();
        }
        if (lastLine_ != CaretKept)
            caret_ = LastLineCaret(doc, lastLine_ == LastLineSelected);
        waiting_.clear();
        cut_ = 0;
        docLines_ = 0;
        lastLine_ = CaretKept;
    }

    QPlainTextEdit* pane_;
    bool held_ = false;
    bool followsEnd_ = false;
    bool followPending_ = false;
    QPointer<QWidget> window_;  // watched while following
    QTextCursor caret_;
    int linesAtScroll_ = 0;  // 0: no scroll noted
    int docLines_ = 0;       // the document's lines when it was held
    int cut_ = 0;            // of those, cut from the top since
    std::deque<Line> waiting_;
    LastLine lastLine_ = CaretKept;
};

HeldView* HeldViewOf(QPlainTextEdit* pane)
{
    return static_cast<HeldView*>(
        pane->findChild<QObject*>(QLatin1String(HeldView::kName), Qt::FindDirectChildrenOnly));
}

// A text pane of either kind: rich (the Help page) or plain (the message
// log, which a plain pane appends to and cuts from the top at a cost that
// does not grow with its length). Both hold a document of coloured lines.
// Made for an operation that may be held back (see HeldView), a plain pane
// out of view is held; for any other, a held pane catches up first.
class Pane {
public:
    enum Use { Settled, MayHold };

    explicit Pane(int control, Use use = Settled) : Pane(FindControl(control), use) {}
    Pane(QWidget* control, Use use)
        : rich_(qobject_cast<QTextEdit*>(control)), plain_(qobject_cast<QPlainTextEdit*>(control))
    {
        if (!plain_)
            return;
        held_ = HeldViewOf(plain_);
        if (use == MayHold && !plain_->isVisible()) {
            if (!held_)
                held_ = new HeldView(plain_);
            held_->Hold();
        } else if (held_) {
            held_->CatchUp();
        }
    }
    explicit operator bool() const { return rich_ || plain_; }

    QAbstractScrollArea* operator->() const { return rich_ ? static_cast<QAbstractScrollArea*>(rich_) : plain_; }
    QPlainTextEdit* plain() const { return plain_; }
    // The held view, while the pane is held.
    HeldView* held() const { return held_ && held_->Held() ? held_ : nullptr; }
    bool followsEnd() const { return held_ && held_->FollowsEnd(); }
    // Only for a pane that follows its end.
    HeldView* state() const { return held_; }
    QTextDocument* document() const { return rich_ ? rich_->document() : plain_->document(); }
    QTextCursor textCursor() const { return rich_ ? rich_->textCursor() : plain_->textCursor(); }
    // Without moving the view.
    void setCaret(const QTextCursor& caret) const
    {
        if (rich_)
            SetCaretKeepingView(rich_, caret);
        else
            SetCaretKeepingView(plain_, caret);
    }
    void setTextCursor(const QTextCursor& cursor) const
    {
        if (rich_)
            rich_->setTextCursor(cursor);
        else
            plain_->setTextCursor(cursor);
    }
    void ensureCursorVisible() const
    {
        if (followsEnd()) {
            held_->FollowNow();
            // Scrolled up, the user is reading: nothing moves the view.
            if (!AtEnd(plain_->verticalScrollBar()))
                return;
        }
        if (held() && held_->NoteScrollToEnd())
            return;
        if (held_)
            held_->CatchUp();
        if (rich_)
            rich_->ensureCursorVisible();
        else
            plain_->ensureCursorVisible();
    }
    void clear() const
    {
        if (rich_)
            rich_->clear();
        else
            plain_->clear();
    }

private:
    QTextEdit* rich_;
    QPlainTextEdit* plain_;
    HeldView* held_ = nullptr;
};

// A plain pane's layout asks for the whole view to be painted whenever a
// line comes or goes. But a line added below the view changes nothing in it,
// and a cut above it moves what is in view up, which a copy of the view does.
// While a QuietEdit lasts, the layout keeps its notices to itself; the edit
// paints what changed, and the scroll bars learn the new size when it ends.
// This leans on Qt's inside (so does HeldView): a plain pane hears of its
// document's changes only through its layout's signals, and sets its scroll
// bars from a documentSizeChanged we emit as from its own. The test
// QtPlainTextLayout in tests/ui/text_panes_test.cpp fails when a Qt no
// longer does.
// A pane that is not painted now (out of view, or its updates held) is
// edited as usual.
class QuietEdit {
public:
    explicit QuietEdit(QPlainTextEdit* pane)
        : pane_(pane && pane->viewport()->updatesEnabled() && pane->viewport()->isVisible() ? pane : nullptr)
    {
        // A layout already kept quiet is someone else's to let speak.
        if (pane_ && pane_->document()->documentLayout()->blockSignals(true))
            pane_ = nullptr;
    }
    ~QuietEdit()
    {
        if (!pane_)
            return;
        QAbstractTextDocumentLayout* layout = pane_->document()->documentLayout();
        layout->blockSignals(false);
        emit layout->documentSizeChanged(layout->documentSize());
    }
    QuietEdit(const QuietEdit&) = delete;
    QuietEdit& operator=(const QuietEdit&) = delete;

    explicit operator bool() const { return pane_ != nullptr; }

    // After a line was added at the end: its row, if it shows.
    void PaintLastLine() const
    {
        QWidget* viewport = pane_->viewport();
        const QRect caret = pane_->cursorRect(QTextCursor(pane_->document()->lastBlock()));
        const QRect row(0, caret.top(), viewport->width(), caret.height());
        if (row.intersects(viewport->rect()))
            viewport->update(row);
    }

    // Before the first count lines are cut: how far that moves the lines in
    // view up. The view keeps its first line's number, so the line shown
    // there comes count lines later, and each row moves up by the height of
    // the count lines from the first one shown. Negative when the first
    // line shown goes too: the view is then painted whole.
    qreal Shift(int count) const
    {
        const QTextDocument* doc = pane_->document();
        // Unwrapped, a line is a row of the scroll bar's.
        const int first = pane_->verticalScrollBar()->value();
        if (first + count >= doc->blockCount())
            return -1;
        const QAbstractTextDocumentLayout* layout = doc->documentLayout();
        qreal shift = 0;
        QTextBlock block = doc->findBlockByLineNumber(first);
        for (int i = 0; i < count && block.isValid(); ++i, block = block.next())
            shift += layout->blockBoundingRect(block).height();
        return shift;
    }
    // After the cut: moves the view's rows up by shift, painting the rows
    // that come in at the bottom. The document's top margin, which shows
    // above the first line while the view is at the top, is no row: what
    // the copy moved into it is painted over.
    void MoveUp(qreal shift) const
    {
        QWidget* viewport = pane_->viewport();
        if (shift < 0) {
            viewport->update();
            return;
        }
        viewport->scroll(0, -qRound(shift));
        const QTextBlock first = pane_->document()->findBlockByLineNumber(pane_->verticalScrollBar()->value());
        const int top = pane_->cursorRect(QTextCursor(first)).top();
        if (top > 0)
            viewport->update(QRect(0, 0, viewport->width(), top));
    }

private:
    QPlainTextEdit* pane_;
};

// Scroll position of a pane whose selection is hidden, restored when it is
// shown again. GUI thread only; file-local: only Hide/ShowEditorSelection
// and the scroll to the caret use it.
struct HiddenView {
    int horizontal = 0;
    int vertical = 0;
};
std::map<int, HiddenView> gHidden;

// Document position of character (1-based) of line, or of the line's end.
int PositionOf(const QTextDocument* doc, int line, int character, bool lineEnd)
{
    if (line < 0)
        line = 0;
    const QTextBlock block = doc->findBlockByNumber(line);
    if (!block.isValid())
        return LastPosition(doc);
    const long long offset = lineEnd ? block.length() - 1 : static_cast<long long>(character) - 1;
    const long long position = block.position() + offset;
    return static_cast<int>(std::clamp<long long>(position, 0, LastPosition(doc)));
}

int EffectsOf(const QTextCharFormat& format)
{
    int effects = 0;
    if (format.fontWeight() >= QFont::Bold)
        effects |= EffectBold;
    if (format.fontItalic())
        effects |= EffectItalic;
    if (format.fontUnderline())
        effects |= EffectUnderline;
    if (format.fontStrikeOut())
        effects |= EffectStrikeout;
    if (format.isAnchor())
        effects |= EffectLink;
    if (format.verticalAlignment() == QTextCharFormat::AlignSubScript)
        effects |= EffectSubscript;
    if (format.verticalAlignment() == QTextCharFormat::AlignSuperScript)
        effects |= EffectSuperscript;
    return effects;
}

QTextCharFormat FormatOf(int effects)
{
    QTextCharFormat format;
    format.setFontWeight((effects & EffectBold) ? QFont::Bold : QFont::Normal);
    format.setFontItalic(effects & EffectItalic);
    format.setFontUnderline(effects & EffectUnderline);
    format.setFontStrikeOut(effects & EffectStrikeout);
    format.setAnchor(effects & EffectLink);
    if (effects & EffectSuperscript)
        format.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    else if (effects & EffectSubscript)
        format.setVerticalAlignment(QTextCharFormat::AlignSubScript);
    else
        format.setVerticalAlignment(QTextCharFormat::AlignNormal);
    return format;
}

int SelectionEffects(const Pane& pane)
{
    const QTextCursor selection = pane.textCursor();
    if (!selection.hasSelection())
        return EffectsOf(selection.charFormat());
    // A cursor reports the format of the character before it.
    QTextCursor first(pane.document());
    first.setPosition(selection.selectionStart() + 1);
    return EffectsOf(first.charFormat());
}

}  // namespace

void SelectEditorRange(int control, int firstLine, int firstChar, int lastLine, int lastChar)
{
    RunOnGui([=] {
        const Pane pane(control);
        if (!pane)
            return;
        const QTextDocument* doc = pane.document();
        const int lastIndex = doc->blockCount() - 1;
        const int first = firstLine == -1 ? lastIndex : firstLine;
        const int last = lastLine == -1 ? lastIndex : lastLine;
        QTextCursor cursor(pane.document());
        cursor.setPosition(PositionOf(doc, first, firstChar, false));
        cursor.setPosition(PositionOf(doc, last, lastChar, lastChar == -1), QTextCursor::KeepAnchor);
        pane.setTextCursor(cursor);
    });
}

void SetSelectionColour(int control, Rgb colour)
{
    RunOnGui([=] {
        const Pane pane(control);
        if (!pane)
            return;
        QTextCharFormat format;
        format.setForeground(ToQColor(colour));
        QTextCursor cursor = pane.textCursor();
        cursor.mergeCharFormat(format);
        pane.setTextCursor(cursor);
    });
}

void SetSelectionEffects(int control, int effects, int toggle)
{
    RunOnGui([=] {
        const Pane pane(control);
        if (!pane)
            return;
        int applied = effects & kAllEffects;
        if (toggle != 0)
            applied ^= SelectionEffects(pane);
        QTextCursor cursor = pane.textCursor();
        cursor.mergeCharFormat(FormatOf(applied));
        pane.setTextCursor(cursor);
    });
}

int GetSelectionEffects(int control)
{
    return CallOnGui<int>(
        [control] {
            const Pane pane(control);
            return pane ? SelectionEffects(pane) : 0;
        },
        0);
}

void SetParagraphAlignment(int control, int alignment)
{
    RunOnGui([=] {
        const Pane pane(control);
        if (!pane)
            return;
        QTextBlockFormat format;
        switch (alignment) {
        case ParagraphLeft:
            format.setAlignment(Qt::AlignLeft);
            break;
        case ParagraphRight:
            format.setAlignment(Qt::AlignRight);
            break;
        case ParagraphCentred:
            format.setAlignment(Qt::AlignHCenter);
            break;
        default:
            return;
        }
        QTextCursor cursor = pane.textCursor();
        cursor.mergeBlockFormat(format);
        pane.setTextCursor(cursor);
    });
}

void AppendEditorText(int control, std::string_view text)
{
    QString lines = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    lines.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    RunOnGui([control, lines] {
        const Pane pane(control);
        if (!pane)
            return;
        QTextCursor end(pane.document());
        end.movePosition(QTextCursor::End);
        // New text starts in the pane's own look, not the last line's.
        end.insertText(lines, QTextCharFormat());
    });
}

void AppendEditorLine(int control, std::string_view text, Rgb colour, bool selectLine)
{
    const QString line = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    RunOnGui([&] {
        const Pane pane(control, Pane::MayHold);
        if (!pane)
            return;
        if (HeldView* held = pane.held()) {
            held->Append(line, ToQColor(colour), selectLine);
            return;
        }
        // Seen before the line changes what the end is.
        const bool follow = pane.followsEnd() && pane.state()->EndInView();
        QTextDocument* doc = pane.document();
        const QuietEdit quiet(pane.plain());
        // One cursor at the end, one edit: the new line is laid out once,
        // nothing else is. The cursors are only placed, inside an edit:
        // movePosition would lay out the line it starts from.
        QTextCursor end(doc);
        end.beginEditBlock();
        end.setPosition(LastPosition(doc));
        // The line keeps its shaped glyphs, so painting it again as it moves
        // up the view does not shape it anew. That costs about 4 KB a line
        // for as long as the line is there, so only while the pane is short
        // (the count includes the new line): a log cut back after every
        // valid read stays so, one that grows towards its ceiling stops
        // keeping them.
        const int lines = doc->isEmpty() ? 1 : doc->blockCount() + 1;
        // A pane at its ceiling drops its first line as the edit ends.
        const int cut = doc->maximumBlockCount() > 0 ? std::max(0, lines - doc->maximumBlockCount()) : 0;
        const qreal shift = quiet && cut > 0 ? quiet.Shift(cut) : 0;
        InsertLastLine(end, line, ToQColor(colour), lines <= kLinesKeepingGlyphs);
        end.endEditBlock();
        pane.setCaret(LastLineCaret(doc, selectLine));
        if (quiet && cut > 0)
            quiet.MoveUp(shift);
        if (quiet)
            quiet.PaintLastLine();
        if (follow)
            pane.state()->FollowLater();
    });
}

void HideEditorSelection(int control)
{
    RunOnGui([control] {
        const Pane pane(control);
        if (!pane || gHidden.count(control))
            return;
        gHidden[control] = {pane->horizontalScrollBar()->value(), pane->verticalScrollBar()->value()};
        pane->setUpdatesEnabled(false);
    });
}

void ShowEditorSelection(int control)
{
    RunOnGui([control] {
        const Pane pane(control);
        auto it = gHidden.find(control);
        if (it == gHidden.end())
            return;
        const HiddenView view = it->second;
        gHidden.erase(it);
        if (!pane)
            return;
        pane->horizontalScrollBar()->setValue(view.horizontal);
        pane->verticalScrollBar()->setValue(view.vertical);
        pane->setUpdatesEnabled(true);
    });
}

int EditorLineCount(int control)
{
    return CallOnGui<int>(
        [control] {
            const Pane pane(control, Pane::MayHold);
            if (!pane)
                return 0;
            return pane.held() ? pane.held()->LineCount() : pane.document()->blockCount();
        },
        0);
}

bool EditorIsEmpty(int control)
{
    return CallOnGui<bool>(
        [control] {
            const Pane pane(control, Pane::MayHold);
            if (!pane)
                return true;
            return pane.held() ? pane.held()->IsEmpty() : pane.document()->isEmpty();
        },
        true);
}

std::string EditorLineText(int control, int line)
{
    return CallOnGui<std::string>(
        [control, line] {
            const Pane pane(control, Pane::MayHold);
            if (!pane)
                return std::string();
            if (pane.held())
                return pane.held()->LineText(line).toStdString();
            return pane.document()->findBlockByNumber(line).text().toStdString();
        },
        {});
}

void ScrollCaretIntoView(int control)
{
    RunOnGui([control] {
        const Pane pane(control, Pane::MayHold);
        if (!pane)
            return;
        pane.ensureCursorVisible();
        // While the selection is hidden, this is where the view goes back to.
        auto it = gHidden.find(control);
        if (it != gHidden.end())
            it->second = {pane->horizontalScrollBar()->value(), pane->verticalScrollBar()->value()};
    });
}

void RemoveFirstEditorLines(int control, int maxLines)
{
    RunOnGui([control, maxLines] {
        const Pane pane(control, Pane::MayHold);
        if (!pane || maxLines < 1)
            return;
        if (HeldView* held = pane.held()) {
            held->Cut(maxLines);
            return;
        }
        QTextDocument* doc = pane.document();
        const int surplus = doc->blockCount() - maxLines;
        if (surplus <= 0)
            return;
        const QuietEdit quiet(pane.plain());
        const qreal shift = quiet ? quiet.Shift(surplus) : 0;
        // One removal for all surplus lines keeps a long log cheap to cut;
        // inside an edit the cursor does not lay out the line it stops at.
        QTextCursor head(doc);
        head.beginEditBlock();
        head.setPosition(doc->findBlockByNumber(surplus).position(), QTextCursor::KeepAnchor);
        head.removeSelectedText();
        head.endEditBlock();
        if (quiet)
            quiet.MoveUp(shift);
    });
}

void SetEditorLineCeiling(int control, int maxLines)
{
    RunOnGui([control, maxLines] {
        if (auto* plain = qobject_cast<QPlainTextEdit*>(FindControl(control)))
            plain->document()->setMaximumBlockCount(std::max(0, maxLines));
    });
}

void SetEditorFollowsEnd(int control, bool follow)
{
    RunOnGui([control, follow] {
        auto* plain = qobject_cast<QPlainTextEdit*>(FindControl(control));
        if (!plain)
            return;
        HeldView* state = HeldViewOf(plain);
        if (!state)
            state = new HeldView(plain);
        state->SetFollowsEnd(follow);
    });
}

void SettleEditor(QWidget* control)
{
    auto* plain = qobject_cast<QPlainTextEdit*>(control);
    if (HeldView* held = plain ? HeldViewOf(plain) : nullptr)
        held->CatchUp();
}

void ClearEditor(int control)
{
    RunOnGui([control] {
        if (const Pane pane{control})
            pane.clear();
    });
}
