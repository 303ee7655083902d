#include "engine/write_value.h"

#include <QDialog>
#include <QPointer>

#include <optional>

#include "common/number_rule.h"
#include "common/table_numbers.h"
#include "dataview/value_encode.h"
#include "dataview/value_formats.h"
#include "dataview/write_request.h"
#include "engine/data_tables.h"
#include "engine/program_state.h"
#include "modbus/frames.h"
#include "modbus/framing.h"
#include "ui/control_ids.h"
#include "ui/controls.h"
#include "ui/data_list.h"
#include "ui/write_value_dialog.h"

namespace {

constexpr int kCoilValueColumn = ValueColumnOf(TableCoils);
constexpr int kHoldingValueColumn = ValueColumnOf(TableHoldingRegisters);

constexpr const char* kNotConnected = "Not connected: nothing can be sent.";

// What was last chosen in a dialog (written or not), so that the next one
// starts there. Kept for the run only, never saved. GUI thread only; file-local: only the dialogs
// of this file read and write it.
struct LastWrite {
    std::optional<ValueType> registerType;
    ByteOrder order = OrderABCD;
    // 0 until one is chosen: the device settings' single-write function.
    int singleRegisterFunction = 0;
    int coilFunction = 0;
};
LastWrite gLast;

bool Connected()
{
    return program.link.state == LinkUp || program.link.state == LinkDown;
}

// The register type that reads as the column shows its values.
ValueType TypeOfFormat(int format)
{
    switch (format) {
    case FormatHex:
        return TypeHex16;
    case FormatBinary:
        return TypeBin16;
    default:
        return TypeU16;
    }
}

// The choice for the cell's address, with the unit id, the offset switch and
// the block as they are now: row r stands for address S + r, and the write
// must stay inside the rows shown.
ValueWrite WriteFor(int row, const WriteValueChoice& choice)
{
    ValueWrite write;
    write.type = choice.type;
    write.order = choice.order;
    write.function = choice.function;
    write.text = choice.text;
    write.unit = TextToInt32(GetControlText(IdUnitField));
    write.offsetOn = GetCheckState(IdOffsetCheck) != 0;
    write.address = program.tableStartAddress + row;
    write.blockFirst = program.tableStartAddress;
    write.blockLast = program.tableStartAddress + DataListRowCount() - 1;
    return write;
}

EncodedValue Refused(const std::string& reason)
{
    EncodedValue refused;
    refused.reason = reason;
    return refused;
}

EncodedValue Encode(int row, const WriteValueChoice& choice)
{
    if (!Connected())
        return Refused(kNotConnected);
    EncodedValue encoded = EncodeValue(WriteFor(row, choice));
    // A device that takes fewer values a request than the write carries
    // would refuse it, or worse, take only part of a multi-register value.
    const DeviceSettings& device = program.deviceSettings;
    const int values = static_cast<int>(encoded.registers.size());
    const int limit = choice.type == TypeCoil ? device.maxBits : device.maxRegisters;
    if (encoded.reason.empty() && values > limit)
        return Refused(std::to_string(values) + " registers in one request, but Device settings allow at most " +
                       std::to_string(limit) + ".");
    return encoded;
}

void RememberChoice(const WriteValueChoice& choice)
{
    if (choice.type == TypeCoil) {
        gLast.coilFunction = choice.function;
        return;
    }
    gLast.registerType = choice.type;
    if (RegisterCountOf(choice.type) > 1)
        gLast.order = choice.order;
    else
        gLast.singleRegisterFunction = choice.function;
}

// Queues the write, or answers why it cannot go.
std::string QueueWrite(int row, const WriteValueChoice& choice)
{
    const EncodedValue encoded = Encode(row, choice);
    const std::optional<PendingWrite> pending = PendingWriteFor(encoded);
    if (!pending)
        return encoded.reason.empty() ? "Nothing can be written here." : encoded.reason;
    program.link.pendingWrites.Append(*pending, program.link.target);
    RememberChoice(choice);
    return {};
}

// The value the list shows from row on, as a text typed for the type writes
// it; empty when a row it needs shows none.
std::string CurrentText(int row, ValueType type, ByteOrder order)
{
    const int table = type == TypeCoil ? TableCoils : TableHoldingRegisters;
    uint16_t registers[4] = {};
    for (int i = 0; i < RegisterCountOf(type); i++) {
        const std::optional<uint16_t> value = ShownRowValue(table, row + i);
        if (!value)
            return {};
        registers[i] = *value;
    }
    return ValueEditText(type, order, registers);
}

}  // namespace

bool IsCellWritable(int row, int column)
{
    if (column != kCoilValueColumn && column != kHoldingValueColumn)
        return false;
    if (!Connected() || row < 0 || row >= DataListRowCount())
        return false;
    // A table at "No data" has no labels: no address the user has seen.
    return !GetCellText(row, column - 1).empty();
}

QDialog* CreateWriteValueDialogFor(int row, int column)
{
    if (!IsCellWritable(row, column))
        return nullptr;
    WriteValueSetup setup;
    setup.address = GetCellText(row, column - 1);
    setup.coil = column == kCoilValueColumn;
    // Until the user picks one, single values go by the function the device takes.
    const bool single = program.deviceSettings.singleWrites;
    if (setup.coil) {
        setup.type = TypeCoil;
        setup.function = gLast.coilFunction ? gLast.coilFunction : single ? kFunctionWriteCoils : kFunctionWriteCoil;
    } else {
        setup.type = gLast.registerType.value_or(TypeOfFormat(GetSelectorIndex(IdSelectorHR)));
        setup.function = gLast.singleRegisterFunction ? gLast.singleRegisterFunction
                         : single                     ? kFunctionWriteRegisters
                                                      : kFunctionWriteRegister;
    }
    setup.order = gLast.order;
    const WriteValueChoice start{{}, setup.type, setup.order, setup.function};
    setup.encode = [row, start](const WriteValueChoice& choice) {
        // A type, order or function the user changed is remembered even if
        // the dialog is then cancelled; the one it opened on is not a choice.
        if (choice.type != start.type || choice.order != start.order || choice.function != start.function)
            RememberChoice(choice);
        // The preview shows the bytes as they will go out and be logged: in
        // an RTU session the RTU frame, CRC included.
        EncodedValue encoded = Encode(row, choice);
        if (!encoded.frame.empty()) {
            // The transaction id is given as it goes out: 00 00 until then.
            uint8_t wire[kMaxFrameLength];
            const int wireLength = FrameRequest(program.link.framing, encoded.frame.data(),
                                                static_cast<int>(encoded.frame.size()), 0, wire);
            encoded.frame.assign(wire, wire + wireLength);
        }
        return encoded;
    };
    setup.currentText = [row](ValueType type, ByteOrder order) { return CurrentText(row, type, order); };
    setup.write = [row](const WriteValueChoice& choice) { return QueueWrite(row, choice); };
    QWidget* list = FindControl(IdDataList);
    return CreateWriteValueDialog(list ? list->window() : nullptr, setup);
}

void OpenWriteValueDialog(int row, int column)
{
    // The window owns the dialog too: gone with it, it is not deleted twice.
    QPointer<QDialog> dialog = CreateWriteValueDialogFor(row, column);
    if (!dialog)
        return;
    dialog->exec();
    delete dialog.data();
}
