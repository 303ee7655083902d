// Operations on the text panes (the message log and the Help page) by
// control id. Lines are the pane's paragraphs, numbered from 0; characters
// within a line are numbered from 1. Every operation may be called from any
// thread; to apply several as one step, run them inside one RunOnGui call.
// An id that is not a text pane does nothing and reads as 0 / empty.
#pragma once

#include <string>
#include <string_view>

#include "common/colours.h"

class QWidget;

// Character effects, as a set of flags.
enum TextEffect {
    EffectBold = 1,
    EffectItalic = 2,
    EffectUnderline = 4,
    EffectStrikeout = 8,
    EffectLink = 32,
    EffectSubscript = 65536,
    EffectSuperscript = 131072,
};
constexpr int kAllEffects =
    EffectBold | EffectItalic | EffectUnderline | EffectStrikeout | EffectLink | EffectSubscript | EffectSuperscript;

enum ParagraphAlignment { ParagraphLeft = 1, ParagraphRight = 2, ParagraphCentred = 3 };

// Selects from (firstLine, firstChar) to (lastLine, lastChar). A line of -1
// means the last line; a lastChar of -1 means the end of that line
// (before its line break). Positions past the text are clamped to it; equal
// ends give an empty selection (a caret).
void SelectEditorRange(int control, int firstLine, int firstChar, int lastLine, int lastChar);

// Sets only the text colour of the selected characters.
void SetSelectionColour(int control, Rgb colour);

// Sets all seven effects of the selection: those in effects on, the others
// off. With toggle non-zero, the set applied is the selection's current
// effects exclusive-or effects.
void SetSelectionEffects(int control, int effects, int toggle);

// The effects of the selection's first character (of the character before
// the caret when nothing is selected).
int GetSelectionEffects(int control);

// Aligns the paragraphs the selection touches (ParagraphAlignment).
void SetParagraphAlignment(int control, int alignment);

// Appends text at the end; CR LF, LF and CR each start a new line. Appending
// to an empty pane adds no leading line break.
void AppendEditorText(int control, std::string_view text);

// Appends text (one line, no line break in it) as the new last line in
// colour, as one step: the line is then selected whole when selectLine, else
// the caret sits at its start. The view does not move, unless the pane
// follows its end (SetEditorFollowsEnd). An empty pane takes the text as its
// only line.
void AppendEditorLine(int control, std::string_view text, Rgb colour, bool selectLine);

// While hidden, changes to the selection neither show nor move the view.
void HideEditorSelection(int control);
void ShowEditorSelection(int control);

// Number of lines; an empty pane has one (empty) line.
int EditorLineCount(int control);
// True when the pane holds no text at all.
bool EditorIsEmpty(int control);
// Text of one line without its line break; empty for a line that is not there.
std::string EditorLineText(int control, int line);

// Scrolls so that the caret is visible. A pane that follows its end and does
// not show it (the user scrolled up to read) stays where it is.
void ScrollCaretIntoView(int control);

// A log pane that follows its end: a line appended while the view shows the
// end (the vertical scroll bar at its maximum, or the pane too short to
// scroll) brings the new end into view when the window is about to paint
// it (ScrollCaretIntoView does it at once);
// once the user has scrolled up, nothing moves the view until the user
// scrolls back to the end. A pane out of view that showed its end when it
// was hidden shows its end when it is shown. Off for every pane until
// switched on, best while the window is built (see text_panes.cpp); ids that
// are not log panes do nothing.
void SetEditorFollowsEnd(int control, bool follow);

// Removes the first lines until at most maxLines remain.
void RemoveFirstEditorLines(int control, int maxLines);

// A log pane keeps at most maxLines lines: a line appended beyond them drops
// the first (0: no ceiling, as every pane starts). Ids that are not log
// panes do nothing.
void SetEditorLineCeiling(int control, int maxLines);

// Empties the pane.
void ClearEditor(int control);

// GUI thread: brings a log pane that is out of view up to date now (its
// document takes the lines that wait for it to be shown), for code that
// reads or writes the pane's document itself. Any other control: nothing.
void SettleEditor(QWidget* control);
