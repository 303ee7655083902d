// The control-id registry: the one way the program reads and changes the
// window. Every operation may be called from any thread (see gui_call.h).
// Texts are UTF-8. An unknown id, or an operation that does not fit the
// control's kind, does nothing and reads as empty / -1 / 0.
#pragma once

#include <string>
#include <string_view>

class QWidget;
class QLabel;

// GUI thread only, while the window is built.
void RegisterControl(int id, QWidget* widget);
void RegisterStatusField(int field, QLabel* label);
// Forgets every registration (the window is gone).
void ClearControlRegistry();

// GUI thread only: the widget behind an id, or nullptr.
QWidget* FindControl(int id);

// Text of a field, label, link, button or checkbox caption; the selected
// entry's text of a selector (of an editable one the text in its field,
// which is also what setting changes); the plain text of a text pane.
std::string GetControlText(int id);
void SetControlText(int id, std::string_view text);

// Selected entry, 0-based; -1 when none. Setting an index outside the
// entries (or negative) leaves none selected.
int GetSelectorIndex(int id);
void SetSelectorIndex(int id, int index);

// Checkbox state, 0 or 1; any non-zero value ticks the box.
int GetCheckState(int id);
void SetCheckState(int id, int state);

void EnableControl(int id, bool enabled);
bool IsControlEnabled(int id);

// Keyboard focus to a control.
void FocusControl(int id);

// Status-bar fields 0..3.
void SetStatusField(int field, std::string_view text);
std::string GetStatusField(int field);

// A note above a status-bar field, with the system beep, for what must not
// be missed though the field's text will soon be overwritten: it stays
// until the next key or click in the program. A later one replaces it.
void ShowStatusNotice(int field, std::string_view text);
// The object name of that note, a top-level label while it shows.
constexpr const char* kStatusNoticeName = "sorbel-status-notice";
