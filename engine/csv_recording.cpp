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
std::shared_ptr<CsvRecorder> gRecorder;
std::string gPath;
std::shared_ptr<CsvRecorder> gEnding;

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
    if (!gRecorder)
        return "Record to CSV…";
    const CsvRecordingStatus status = CsvRecordingState(*gRecorder);
    return "Stop recording (" + status.fileName + ", " + RowsText(status.rows) + ")";
}

void ToggleRecording()
{
    if (gRecorder) {
        StopCsvRecording(*gRecorder);
        gEnding = std::move(gRecorder);
        gPath.clear();
        ShowRecordingMark(MarkHidden, {});
        return;
    }
    // The previous recording ends first: its failure must still be told,
    // and a new file of the same name must not be emptied under its thread.
    if (gEnding) {
        if (!AwaitCsvRecordingEnd(*gEnding, kEndWait)) {
            ShowMessageBox("The previous recording is still writing its last rows: try again in a moment.");
            return;
        }
        Ended(gEnding);
    }
    const std::string path = AskSaveFileName("Record to CSV", SuggestedFileName(), "CSV files (*.csv);;All files (*)");
    if (path.empty())
        return;
    std::string reason;
    gRecorder = StartCsvRecording(path, program.samples, reason);
    if (!gRecorder) {
        ShowMessageBox(reason);
        return;
    }
    gPath = path;
    StartWindowTimer(kRecordTimerId, kTickMs);
    RecordingTick();
}

void RecordingTick()
{
    if (gEnding && CsvRecordingState(*gEnding).ended)
        Ended(gEnding);
    if (gRecorder) {
        // Rows come only from cycles; while the link is not up there are
        // none. Paused, the file is synced at once and the mark says so.
        const bool paused = program.link.state != LinkUp;
        if (CsvRecordingState(*gRecorder).paused != paused)
            PauseCsvRecording(*gRecorder, paused);
        const CsvRecordingStatus status = CsvRecordingState(*gRecorder);
        if (status.ended) {
            ShowRecordingMark(MarkHidden, {});
            gPath.clear();
            Ended(gRecorder);
        } else {
            std::string tip = "Recording to " + gPath + ": " + RowsText(status.rows);
            if (status.paused)
                tip += ", paused while not connected";
            if (status.dropped > 0)
                tip += "; " + std::to_string(status.dropped) + " cycles not written: the disk fell behind";
            ShowRecordingMark(status.paused ? MarkPaused : MarkRecording, tip);
        }
    }
    if (!gRecorder && !gEnding)
        StopWindowTimer(kRecordTimerId);
}

void EndRecordingAtShutdown()
{
    for (std::shared_ptr<CsvRecorder>* recorder : {&gRecorder, &gEnding}) {
        if (!*recorder)
            continue;
        StopCsvRecording(**recorder);
        AwaitCsvRecordingEnd(**recorder, kEndWait);
        recorder->reset();
    }
    gPath.clear();
}
