// Tool tips of the status-bar fields: the program's text for a field when it
// gives one, else the field's own text, asked for when the tip is about to
// show and again while it shows (live_tip.h).
#pragma once

#include <string>

class QLabel;

// Answers the tip of a field (0..3); an empty answer shows none.
using StatusTipProvider = std::string (*)(int field);

// Any thread before the window is built, or the GUI thread. Null gives the
// field its own text as tip again.
void SetStatusTipProvider(int field, StatusTipProvider provider);

// GUI thread: lets the field's label ask the provider each time its tip is due.
void WatchStatusTip(QLabel* label, int field);
