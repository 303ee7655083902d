#include "engine/message_log.h"

#include <string>

#include "engine/counter_tips.h"
#include "engine/program_state.h"
#include "ui/control_ids.h"
#include "ui/controls.h"
#include "ui/gui_call.h"
#include "ui/text_panes.h"

namespace {

constexpr int kMaxLogLines = 300;

}  // namespace

void AppendLogLine(std::string_view text, Rgb colour)
{
    // One line is one row of the view: a stray line break must not split it.
    std::string line(text);
    for (char& c : line) {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    // One call on the GUI thread, so a line from the worker is never seen
    // half-added or uncoloured; the pane keeps to the log's ceiling itself
    // (BuildViewMessagesPage). A request line stays selected; answers and
    // times leave the caret at the start of their line.
    AppendEditorLine(IdMessageLog, line, colour, colour == kBlue);
}

void TrimLog()
{
    RemoveFirstEditorLines(IdMessageLog, kMaxLogLines);
}

void ScrollLogToEnd()
{
    ScrollCaretIntoView(IdMessageLog);
}

void RefreshCounterFields()
{
    const std::string polls = "Polls: " + std::to_string(program.pollCount.load());
    const std::string valid = "Valid: " + std::to_string(program.validCount.load());
    const std::string bad = "Bad: " + std::to_string(program.badCount.load());
    RunOnGui([polls, valid, bad] {
        SetStatusField(StatusPolls, polls);
        SetStatusField(StatusValid, valid);
        SetStatusField(StatusBad, bad);
    });
}

void ClearLogAndCounters()
{
    program.pollCount.store(0);
    program.validCount.store(0);
    program.badCount.store(0);
    RestartResponseFigures(FiguresSinceClear);
    RefreshCounterFields();
    ClearEditor(IdMessageLog);
}
