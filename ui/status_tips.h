// Tool tips of the status-bar fields written by the program when they are
// about to show, instead of the field's own text.
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
