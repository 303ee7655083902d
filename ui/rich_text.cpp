#include "ui/rich_text.h"

#include <QAbstractTextDocumentLayout>
#include <QEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

#include <algorithm>
#include <map>

#include "ui/controls.h"
#include "ui/gui_call.h"
#include "ui/widgets.h"

namespace {

// Sets a pane's caret (or selection) without moving its view: setting it
// would scroll to it.
template <class Edit>
void SetCaretKeepingView(Edit* pane, const QTextCursor& caret)
{
    QScrollBar* horizontal = pane->horizontalScrollBar();
    QScrollBar* vertical = pane->verticalScrollBar();
    const int across = horizontal->value();
    const int down = vertical->value();
    pane->setTextCursor(caret);
    horizontal->setValue(across);
    vertical->setValue(down);
}

// While the log is out of view (another page is shown) its view is not
// kept up to date: the document still takes every line and every cut, but
// its layout tells the view nothing and the caret waits, so a line costs no
// text shaping. Shown again, the view catches up before it is painted; so
// does any other operation on the pane, except the scroll to the end that
// follows a valid read.
class HeldView : public QObject {
public:
    static constexpr const char* kName = "sorbel-held-view";

    explicit HeldView(QPlainTextEdit* pane) : QObject(pane), pane_(pane)
    {
        setObjectName(QLatin1String(kName));
        pane->installEventFilter(this);
    }

    bool Held() const { return held_; }
    void Hold()
    {
        if (held_)
            return;
        held_ = true;
        caret_ = pane_->textCursor();
        pane_->document()->documentLayout()->blockSignals(true);
    }
    QTextCursor Caret() const { return caret_; }
    void SetCaret(const QTextCursor& caret) { caret_ = caret; }

    // Scrolling to a caret at the start of the last line (the log after a
    // valid read) is noted, not done: it puts the view at the end as it was
    // then. False for any other caret.
    bool NoteScrollToEnd()
    {
        const QTextBlock last = pane_->document()->lastBlock();
        if (caret_.hasSelection() || caret_.position() != last.position())
            return false;
        linesAtScroll_ = pane_->document()->blockCount();
        return true;
    }

    void CatchUp()
    {
        if (!held_)
            return;
        held_ = false;
        QAbstractTextDocumentLayout* layout = pane_->document()->documentLayout();
        layout->blockSignals(false);
        // What the layout did not tell the view: its size, and everything
        // is to be painted anew.
        emit layout->documentSizeChanged(layout->documentSize());
        pane_->viewport()->update();
        if (linesAtScroll_ > 0) {
            // Every line is one row of the view, so the end as it was then
            // lies as many rows above today's end as lines came since; lines
            // cut from the top since leave the view where it was, as far as
            // the text still reaches.
            QScrollBar* vertical = pane_->verticalScrollBar();
            const int end = vertical->maximum();
            const int rowsInView = pane_->document()->blockCount() - end;
            vertical->setValue(std::clamp(linesAtScroll_ - rowsInView, 0, end));
            pane_->horizontalScrollBar()->setValue(0);
            linesAtScroll_ = 0;
        }
        SetCaretKeepingView(pane_, caret_);
        caret_ = QTextCursor();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == pane_ && event->type() == QEvent::Show)
            CatchUp();
        return false;
    }

private:
    QPlainTextEdit* pane_;
    bool held_ = false;
    QTextCursor caret_;
    int linesAtScroll_ = 0;  // 0: no scroll noted
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
    bool Held() const { return held_ && held_->Held(); }
    QTextDocument* document() const { return rich_ ? rich_->document() : plain_->document(); }
    QTextCursor textCursor() const
    {
        if (Held())
            return held_->Caret();
        return rich_ ? rich_->textCursor() : plain_->textCursor();
    }
    // Without moving the view.
    void setCaret(const QTextCursor& caret) const
    {
        if (Held())
            held_->SetCaret(caret);
        else if (rich_)
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
        if (Held() && held_->NoteScrollToEnd())
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

// Scroll position of a pane whose selection is hidden, restored when it is
// shown again. GUI thread only.
struct HiddenView {
    int horizontal = 0;
    int vertical = 0;
};
std::map<int, HiddenView> gHidden;

int LastPosition(const QTextDocument* doc)
{
    return std::max(0, doc->characterCount() - 1);
}

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
        QTextDocument* doc = pane.document();
        QTextCharFormat format;
        format.setForeground(ToQColor(colour));
        // One cursor at the end, one edit: the new line is laid out once (or,
        // out of view, not at all), nothing else is. The cursors are only
        // placed, inside an edit: movePosition would lay out the line it
        // starts from.
        QTextCursor end(doc);
        end.beginEditBlock();
        end.setPosition(LastPosition(doc));
        if (!doc->isEmpty())
            end.insertBlock(QTextBlockFormat(), QTextCharFormat());
        end.insertText(line, format);
        end.endEditBlock();

        QTextCursor caret(doc->lastBlock());
        if (selectLine) {
            caret.beginEditBlock();
            caret.setPosition(LastPosition(doc), QTextCursor::KeepAnchor);
            caret.endEditBlock();
        }
        pane.setCaret(caret);
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
            return pane ? pane.document()->blockCount() : 0;
        },
        0);
}

bool EditorIsEmpty(int control)
{
    return CallOnGui<bool>(
        [control] {
            const Pane pane(control, Pane::MayHold);
            return !pane || pane.document()->isEmpty();
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
        QTextDocument* doc = pane.document();
        const int surplus = doc->blockCount() - maxLines;
        if (surplus <= 0)
            return;
        // One removal for all surplus lines keeps a long log cheap to cut;
        // inside an edit the cursor does not lay out the line it stops at.
        QTextCursor head(doc);
        head.beginEditBlock();
        head.setPosition(doc->findBlockByNumber(surplus).position(), QTextCursor::KeepAnchor);
        head.removeSelectedText();
        head.endEditBlock();
    });
}

void ClearEditor(int control)
{
    RunOnGui([control] {
        if (const Pane pane{control})
            pane.clear();
    });
}
