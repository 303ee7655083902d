#include "engine/cell_edit.h"

#include "common/field_limits.h"
#include "common/number_rule.h"
#include "common/pending_write.h"
#include "common/table_numbers.h"
#include "dataview/value_formats.h"
#include "engine/program_state.h"
#include "modbus/frames.h"
#include "ui/control_ids.h"
#include "ui/controls.h"
#include "ui/data_list.h"

namespace {

constexpr int kCoilValueColumn = ValueColumnOf(TableCoils);
constexpr int kHoldingValueColumn = ValueColumnOf(TableHoldingRegisters);

// The one edit that can be open, between EditBegin and its commit or cancel.
struct EditState {
    bool open = false;
    int list = -1;
    int row = -1;
    int column = -1;
    std::string oldText;
    std::string newText;
};

// Main thread only; file-local: only the edit callback below opens, commits
// and cancels it.
EditState gCellEdit;

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
    if (!program.deviceSettings.singleWrites) {
        write.length = BuildWriteRequest(write.frame.data(), unit, function, address, value, offsetOn);
    } else if (function == kFunctionWriteCoil) {
        // A device that takes only the multiple writes gets one value by them.
        const bool on = value != kCoilOff;
        write.length = BuildWriteCoilsRequest(write.frame.data(), unit, address, &on, 1, offsetOn);
    } else {
        const auto registerValue = static_cast<uint16_t>(value);
        write.length = BuildWriteRegistersRequest(write.frame.data(), unit, address, &registerValue, 1, offsetOn);
    }
    program.link.pendingWrites.Append(write, program.link.target);
    return {};
}

}  // namespace

EditAnswer HandleCellEdit(int event, int list, int column, int row, const std::string& text)
{
    switch (event) {
    case EditBegin: {
        // A table at "No data" has no labels: its cells stand for no
        // address the user has seen, so they are not edited at all.
        if ((column == kCoilValueColumn || column == kHoldingValueColumn) && GetCellText(row, column - 1).empty()) {
            gCellEdit.open = false;
            EditAnswer refuse;
            refuse.refuse = true;
            return refuse;
        }
        gCellEdit.open = true;
        gCellEdit.list = list;
        gCellEdit.row = row;
        gCellEdit.column = column;
        gCellEdit.oldText = GetCellText(row, column);
        gCellEdit.newText = gCellEdit.oldText;
        if (column == kCoilValueColumn)
            return {true, "1|0", false};
        return {};
    }
    case EditKey:
        if (gCellEdit.open)
            gCellEdit.newText = text;
        return {};
    case EditCommit: {
        if (!gCellEdit.open)
            return {};
        gCellEdit.open = false;
        // The list has just written the editor's final text into the cell;
        // that, not the text before the last key, is what the user typed.
        gCellEdit.newText = GetCellText(gCellEdit.row, gCellEdit.column);
        if (gCellEdit.newText != gCellEdit.oldText) {
            std::string refusal;
            if (gCellEdit.column == kCoilValueColumn || gCellEdit.column == kHoldingValueColumn)
                refusal = QueueWrite(gCellEdit);
            // The cell shows what the server holds, not the wish.
            SetCellText(gCellEdit.row, gCellEdit.column, gCellEdit.oldText);
            // Told at the cell, without a box that would stop the window.
            if (!refusal.empty())
                ShowCellNotice(gCellEdit.row, gCellEdit.column, refusal);
        }
        FocusControl(gCellEdit.list);
        return {};
    }
    case EditCancel:
        gCellEdit.open = false;
        return {};
    default:
        return {};
    }
}
