#include "engine/csv_recording.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>

#include "dataview/csv_recorder.h"
#include "dataview/wall_clock.h"
#include "engine/program_state.h"
#include "ui/control_ids.h"
#include "ui/file_dialog.h"
#include "ui/message_box.h"
#include "ui/recording_mark.h"
#include "ui/window_timer.h"

namespace {

constexpr int kTickMs = 500;
// Long enough for the last rows to reach the disk, short enough that a hung
// disk does not hold the program open.
constexpr auto kEndWait = std::chrono::milliseconds(3000);

// Main only; file-local: the recording in progress, its path, and one asked
// to stop whose end has not been seen yet (it may still fail writing its
// last rows, and that must be told).
struct Recording {
    std::shared_ptr<CsvRecorder> recorder;
    std::string path;
    std::shared_ptr<CsvRecorder> ending;
};
Recording gRecording;

// "values-20261208-071503.csv": a new name for each recording, in time order.
std::string SuggestedFileName()
{
    const WallTime now = WallClockNow();
    const time_t seconds = static_cast<time_t>((now.ms + int64_t{now.utcOffsetMinutes} * 60000) / 1000);
    tm local{};
    gmtime_r(&seconds, &local);
    char name[64];
    std::snprintf(name, sizeof name, "values-%04d%02d%02d-%02d%02d%02d.csv", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return name;
}

std::string RowsText(uint64_t rows)
{
    return std::to_string(rows) + (rows == 1 ? " row" : " rows");
}

void Ended(std::shared_ptr<CsvRecorder>& recorder)
{
    const std::string reason = CsvRecordingState(*recorder).stopReason;
    recorder.reset();
    // One message, shown after the state is clean: ticks go on under it.
    if (!reason.empty())
        ShowMessageBox(reason);
}

}  // namespace

std::string RecordEntryText()
{
    if (!gRecording.recorder)
        return "Record to CSV…";
    const CsvRecordingStatus status = CsvRecordingState(*gRecording.recorder);
    return "Stop recording (" + status.fileName + ", " + RowsText(status.rows) + ")";
}

void ToggleRecording()
{
    if (gRecording.recorder) {
        StopCsvRecording(*gRecording.recorder);
        gRecording.ending = std::move(gRecording.recorder);
        gRecording.path.clear();
        ShowRecordingMark(MarkHidden, {});
        return;
    }
    // The previous recording ends first: its failure must still be told,
    // and a new file of the same name must not be emptied under its thread.
    if (gRecording.ending) {
        if (!AwaitCsvRecordingEnd(*gRecording.ending, kEndWait)) {
            ShowMessageBox("The previous recording is still writing its last rows: try again in a moment.");
            return;
        }
        Ended(gRecording.ending);
    }
    const std::string path = AskSaveFileName("Record to CSV", SuggestedFileName(), "CSV files (*.csv);;All files (*)");
    if (path.empty())
        return;
    std::string reason;
    gRecording.recorder = StartCsvRecording(path, program.samples, reason);
    if (!gRecording.recorder) {
        ShowMessageBox(reason);
        return;
    }
    gRecording.path = path;
    StartWindowTimer(kRecordTimerId, kTickMs);
    RecordingTick();
}

void RecordingTick()
{
    if (gRecording.ending && CsvRecordingState(*gRecording.ending).ended)
        Ended(gRecording.ending);
    if (gRecording.recorder) {
        // Rows come only from cycles; while the link is not up there are
        // none. Paused, the file is synced at once and the mark says so.
        const bool paused = program.link.state != LinkUp;
        if (CsvRecordingState(*gRecording.recorder).paused != paused)
            PauseCsvRecording(*gRecording.recorder, paused);
        const CsvRecordingStatus status = CsvRecordingState(*gRecording.recorder);
        if (status.ended) {
            ShowRecordingMark(MarkHidden, {});
            gRecording.path.clear();
            Ended(gRecording.recorder);
        } else {
            std::string tip = "Recording to " + gRecording.path + ": " + RowsText(status.rows);
            if (status.paused)
                tip += ", paused while not connected";
            if (status.dropped > 0)
                tip += "; " + std::to_string(status.dropped) + " cycles not written: the disk fell behind";
            ShowRecordingMark(status.paused ? MarkPaused : MarkRecording, tip);
        }
    }
    if (!gRecording.recorder && !gRecording.ending)
        StopWindowTimer(kRecordTimerId);
}

void EndRecordingAtShutdown()
{
    for (std::shared_ptr<CsvRecorder>* recorder : {&gRecording.recorder, &gRecording.ending}) {
        if (!*recorder)
            continue;
        StopCsvRecording(**recorder);
        AwaitCsvRecordingEnd(**recorder, kEndWait);
        recorder->reset();
    }
    gRecording.path.clear();
}
