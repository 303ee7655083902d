// "Record to CSV…": the data list's recording of every cycle to a file, its
// mark beside the tabs, and its end. GUI thread.
#pragma once

#include <string>

// The menu entry: "Record to CSV…", or while recording "Stop recording"
// with the file's name and the rows written.
std::string RecordEntryText();

// Asks for a file and starts recording to it; while recording, stops.
void ToggleRecording();

// The recording timer's tick: the mark and its figures, paused while not
// connected (no cycles, no rows) and running again on reconnecting, and the
// one message when the recording stopped by itself.
void RecordingTick();

// Shutdown: ends the recording and waits, a bounded time, for its file to be
// synced and closed.
void EndRecordingAtShutdown();
