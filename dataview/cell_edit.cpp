#include "dataview/cell_edit.h"

#include "app/program_state.h"
#include "common/number_rule.h"
#include "common/records.h"
#include "dataview/data_list.h"
#include "dataview/value_formats.h"
#include "modbus/frames.h"
#include "ui/control_ids.h"
#include "ui/controls.h"

namespace {

constexpr int kCoilValueColumn = 3;
constexpr int kHoldingValueColumn = 7;

// The one edit that can be open, between EditBegin and its commit or cancel.
struct EditState {
    bool open = false;
    int list = -1;
    int row = -1;
    int column = -1;
    std::string oldText;
    std::string newText;
};

EditState gEdit;

// Shown quoted in a refusal; a long text is cut so the tip stays short.
std::string Quoted(const std::string& text)
{
    constexpr size_t kShown = 24;
    return "\"" + (text.size() > kShown ? text.substr(0, kShown) + "..." : text) + "\"";
}

// Queues the write the edit asks for, or answers why nothing may be sent:
// a device gets exactly the value typed, at exactly the address shown.
std::string QueueWrite(const EditState& edit)
{
    const int64_t unit = TextToInt32(GetControlText(IdUnitField));
    const bool offsetOn = GetCheckState(IdOffsetCheck) != 0;
    // Row r always stands for address S + r; the address comes from the
    // block, not from the label text.
    const int64_t address = program.tableStartAddress + edit.row;
    const int64_t sent = SentAddress(address, offsetOn);
    if (sent < 0 || sent > kHighestAddress) {
        if (offsetOn)
            return "Not sent: with the address offset, address " + std::to_string(address) + " would go out as " +
                   std::to_string(sent) + ", outside 0..65535.";
        return "Not sent: address " + std::to_string(address) + " is outside 0..65535.";
    }

    int function;
    int64_t value;
    if (edit.column == kCoilValueColumn) {
        function = kFunctionWriteCoil;
        value = CoilValueFromText(edit.newText);
    } else {
        const int format = GetSelectorIndex(IdSelectorHR);
        const std::optional<uint16_t> typed = RegisterValueFromText(edit.newText, format);
        if (!typed)
            return "Not sent: " + Quoted(edit.newText) + " is not " + RegisterFormatRule(format) + ".";
        function = kFunctionWriteRegister;
        value = *typed;
    }

    PendingWrite write;
    write.Length = BuildWriteRequest(write.Frame.data(), unit, function, address, value, offsetOn);
    program.pendingWrites.Append(write);
    return {};
}

} // namespace

EditAnswer HandleCellEdit(int event, int list, int column, int row, const std::string& text)
{
    switch (event) {
    case EditBegin: {
        // A table at "No data" has no labels: its cells stand for no
        // address the user has seen, so they are not edited at all.
        if ((column == kCoilValueColumn || column == kHoldingValueColumn) &&
            GetCellText(row, column - 1).empty()) {
            gEdit.open = false;
            EditAnswer refuse;
            refuse.refuse = true;
            return refuse;
        }
        gEdit.open = true;
        gEdit.list = list;
        gEdit.row = row;
        gEdit.column = column;
        gEdit.oldText = GetCellText(row, column);
        gEdit.newText = gEdit.oldText;
        if (column == kCoilValueColumn)
            return {true, "1|0", false};
        return {};
    }
    case EditKey:
        if (gEdit.open)
            gEdit.newText = text;
        return {};
    case EditCommit: {
        if (!gEdit.open)
            return {};
        gEdit.open = false;
        // The list has just written the editor's final text into the cell;
        // that, not the text before the last key, is what the user typed.
        gEdit.newText = GetCellText(gEdit.row, gEdit.column);
        if (gEdit.newText != gEdit.oldText) {
            std::string refusal;
            if (gEdit.column == kCoilValueColumn || gEdit.column == kHoldingValueColumn)
                refusal = QueueWrite(gEdit);
            // The cell shows what the server holds, not the wish.
            SetCellText(gEdit.row, gEdit.column, gEdit.oldText);
            // Told at the cell, without a box that would stop the window.
            if (!refusal.empty())
                ShowCellNotice(gEdit.row, gEdit.column, refusal);
        }
        FocusControl(gEdit.list);
        return {};
    }
    case EditCancel:
        gEdit.open = false;
        return {};
    default:
        return {};
    }
}
