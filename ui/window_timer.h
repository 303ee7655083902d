// Timers of the main window, by logical id. Each tick is reported with
// ReportTimerEvent(id). GUI thread only.
#pragma once

// Shortest interval a timer runs at, in milliseconds; shorter or negative
// intervals are raised to it so a zero interval cannot spin the GUI thread.
constexpr int kMinTimerInterval = 10;

// Starts (or restarts) timer id with the interval in milliseconds.
void StartWindowTimer(int id, long long intervalMs);
// Removes timer id; nothing happens when it does not exist.
void StopWindowTimer(int id);
bool IsWindowTimerActive(int id);
// The interval timer id runs at, or -1 when it does not exist.
int WindowTimerInterval(int id);
// Removes every timer (shutdown).
void StopAllWindowTimers();
