// Records every published cycle sample as a row of a CSV file, written by a
// thread of its own so that neither the poll worker nor the GUI thread ever
// waits on the disk. No Qt.
//
// - The file is created anew (an existing one is emptied: the file dialog
//   has asked), and rows are appended as csv_record.h writes them: a header
//   block at the start and at every change of tables, start address, length
//   or format, then one row per sample.
// - Each row goes to the file in one write. If a write fails part-way, the
//   file is cut back to the end of the last whole row: the file never holds
//   half a row.
// - The thread takes the waiting samples ten times a second and writes
//   them; the file is synced (fdatasync) within 0.9 s of a row written. A
//   row is thus on the disk within a second of its cycle, and a crash or
//   power cut loses at most the last second.
// - A full disk, a file-size limit, a write or sync error, or the file
//   removed or replaced meanwhile stops the recording with one reason; the
//   rows written before stay intact.
// - The samples wait in the recorder's own queue of the hand-over. When the
//   disk is slower than the cycles for long enough to fill it, the oldest
//   waiting samples are dropped (never the polling slowed) and counted in
//   the status.
// - Pausing (disconnected) keeps the file open; rows go on in the same file
//   when samples come again, under the same header while the block is the
//   same.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "dataview/sample_handover.h"

// Shared by its owner and its thread; freed when both have let go.
struct CsvRecorder;

// GUI thread: creates (or empties) the file at path and starts recording the
// samples published to handover from now on; handover must outlive the
// recording. Null when the file cannot be created, with reason set to one
// sentence for the user ("Cannot record to /x/y.csv: permission denied.").
// Does not wait for the disk beyond opening the file.
std::shared_ptr<CsvRecorder> StartCsvRecording(const std::string& path, SampleHandover& handover, std::string& reason);

// Asks the recording to end: the samples already published are still
// written, the file is synced and closed by the recorder's thread. Returns
// at once.
void StopCsvRecording(CsvRecorder& recorder);

// Marks the recording paused (disconnected) or running again, for the
// status; the file is synced at once on pausing. Returns at once.
void PauseCsvRecording(CsvRecorder& recorder, bool paused);

struct CsvRecordingStatus {
    std::string fileName;  // the file's name without its folder: "name.csv"
    uint64_t rows = 0;     // data rows in the file (header and empty lines not counted)
    uint64_t dropped = 0;  // samples dropped unwritten because the disk fell behind
    bool paused = false;
    bool ended = false;      // the file is closed: stopped, asked to or by itself
    std::string stopReason;  // set when it stopped by itself: one sentence for a message
};

// Any thread; takes one short lock.
CsvRecordingStatus CsvRecordingState(CsvRecorder& recorder);

// Waits at most timeout for the recording's thread to close the file; true
// when it has. For shutdown and tests; the GUI thread otherwise polls the
// status instead.
bool AwaitCsvRecordingEnd(CsvRecorder& recorder, std::chrono::milliseconds timeout);
