// The message log (control 25) and the counter fields of the status bar.
// Callable from the poll worker thread.
#pragma once

#include <string_view>

#include "common/colours.h"

// Appends text as the new last line in the given colour; beyond 2000 lines
// the oldest go. The log follows its end (see BuildViewMessagesPage): the
// new line shows unless the user has scrolled up to read.
void AppendLogLine(std::string_view text, Rgb colour);

// Removes lines from the top until at most 300 remain.
void TrimLog();

// Scrolls the log so that its end is visible, unless the user has scrolled
// up to read.
void ScrollLogToEnd();

// Writes "Polls: n", "Valid: n", "Bad: n" into status fields 1..3.
void RefreshCounterFields();

// Resets the counts, rewrites the counter fields, empties the log.
void ClearLogAndCounters();
