// Creating the window's controls: each is placed on its page at a fixed
// position, registered under its id, and reports its events to the
// dispatcher with that id.
#pragma once

#include <initializer_list>

#include <QPalette>
#include <Qt>

#include "common/colours.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRect;
class QTextEdit;
class QWidget;

QColor ToQColor(Rgb colour);
Rgb ToRgb(const QColor& colour);

// The text colour of a label or link while it is enabled; disabled, it is
// drawn greyed like any other control.
void SetTextColour(QWidget* widget, Rgb colour);
// Its colour while disabled instead, for text on a background of the
// program's own that the desktop's greyed colour would not read on.
void SetDisabledTextColour(QWidget* widget, Rgb colour);
// A background of the control's own instead of the page's.
void SetBackgroundColour(QWidget* widget, Rgb colour);

// One-line static text, never read as rich text; centred vertically unless
// alignment gives a vertical place.
QLabel* CreateLabel(QWidget* page, int id, const QRect& geometry, const char* text, Qt::Alignment alignment);

// Single-line field. With digitsOnly, typed characters other than 0-9 are
// refused; text put there by the program is taken as it is.
QLineEdit* CreateTextField(QWidget* page, int id, const QRect& geometry, const char* text, bool digitsOnly);

// Lets a digits-only field hold only numbers up to maximum, whether typed
// or pasted. A number below floor (an empty field counts as 0) is raised to
// floor when the field is left or Enter is pressed, so the field shows what
// is used; text set by the program is taken as it is.
void LimitFieldValue(QLineEdit* field, long long floor, long long maximum);

QPushButton* CreateButton(QWidget* page, int id, const QRect& geometry, const char* caption);

QCheckBox* CreateCheckBox(QWidget* page, int id, const QRect& geometry, const char* caption);

// Drop-down list of fixed entries (no free text), entry 0 selected.
QComboBox* CreateSelector(QWidget* page, int id, int x, int y, int width, std::initializer_list<const char*> entries);

// Read-only rich-text pane: no wrap, both scroll bars, the selection shown
// even without focus, Tab moves on to the next control.
QTextEdit* CreateTextPane(QWidget* page, int id, const QRect& geometry);

// The same for a log of coloured lines: a pane that takes a new line at its
// end and drops lines at its top at the same cost however long it is.
QPlainTextEdit* CreateLogPane(QWidget* page, int id, const QRect& geometry);
