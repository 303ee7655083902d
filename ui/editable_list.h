// In-place cell editing and header-click sorting attached to a list.
// GUI thread only.
#pragma once

#include <string>

#include "common/colours.h"

class QLineEdit;
class QToolButton;

enum EditEvent { EditBegin = 0, EditKey = 1, EditCommit = 2, EditCancel = 3 };

// What the edit callback answers. For EditBegin: no text gives a free-text
// editor, a text ("1|0") a choice editor, refuse opens no editor at all.
// For EditKey: a text replaces the editor's text. Ignored otherwise.
struct EditAnswer {
    bool hasText = false;
    std::string text;
    bool refuse = false;
};

// event, list control id, column, row, text (-1, -1, -1, "" for commit and cancel).
using EditCallback = EditAnswer (*)(int event, int list, int column, int row, const std::string& text);
// list control id, sort column, first row's cell text, second row's: <0, 0, >0.
using CompareCallback = int (*)(int list, int column, const std::string& first, const std::string& second);

// Result codes of the per-column settings.
enum ListResult { ListDone = 1, ListNoControl = 2, ListBadColumn = 3, ListNotAttached = 4 };

// Sort types a column can have: 7 never sorts, 11 sorts through the compare
// callback. Columns start at 0, which does not sort either.
enum SortType { SortNone = 7, SortByCallback = 11 };

// Attaches editing to the list control (a table view registered under
// listId); 1 attached, 2 no such control. Attaching again resets the list's
// column settings. Only header mode 0 (no sort marks in the header) is
// built, so the mode is not kept.
int RegisterEditableList(int listId, int headerMode);
// Colours of the editor while it has the keyboard focus.
void SetEditColours(Rgb background, Rgb text);
// A null callback is ignored.
void SetEditCallback(EditCallback callback);
void SetCompareCallback(CompareCallback callback);
int SetColumnSortType(int listId, int column, int type);
// Switching a column off commits an open edit, whatever its column.
int SetColumnEditable(int listId, int column, bool editable);
// Writes the editor's text into its cell, closes it, reports EditCommit.
void CommitEdit();
// Closes the editor without touching the cell, reports EditCancel.
void CancelEdit();

// The open editor's text field and, for a choice editor, its buttons
// (0 up, 1 down); null when there is none.
QLineEdit* OpenEditorField();
QToolButton* OpenEditorButton(int which);

// The program's compare callback: every pair is equal, so a header click
// never reorders the rows.
int CompareCells(int list, int column, const std::string& first, const std::string& second);
