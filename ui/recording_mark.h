// The mark that says a recording is running: a red dot and "REC" in the
// free space right of the tabs, seen on every page; its tool tip names the
// file and the rows written. Hidden while nothing records.
#pragma once

#include <string>

class QTabWidget;

// GUI thread, while the window is built: the mark, hidden, beside the
// panel's tabs.
void AddRecordingMark(QTabWidget* panel);

// GUI thread. Not recording: hidden. Paused: the dot greyed. The tip is the
// mark's tool tip.
enum RecordingMarkState { MarkHidden, MarkRecording, MarkPaused };
void ShowRecordingMark(RecordingMarkState state, const std::string& tip);

// What the mark shows now, and its tool tip (tests).
RecordingMarkState ShownRecordingMark(std::string* tip = nullptr);
