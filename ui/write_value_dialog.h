// The "Write value…" dialog: one value for one Coils or Holding Registers
// address, with the registers it sets and the exact request shown before
// anything goes out. The kit's part is the widgets; what a choice encodes to
// and what Write does are the program's, handed in with the dialog.
#pragma once

#include <functional>
#include <string>

#include "dataview/value_encode.h"

class QDialog;
class QWidget;

// The value as the dialog's fields stand.
struct WriteValueChoice {
    std::string text;
    ValueType type = TypeU16;
    ByteOrder order = OrderABCD;
    int function = 6;
};

struct WriteValueSetup {
    // The cell's label ("40010", "0005"), shown in the title.
    std::string address;
    // A coil offers the type "coil" alone, a register the ten register types.
    bool coil = false;
    // Where the drop-downs start; a type or function the cell does not
    // offer starts on the first one offered.
    ValueType type = TypeU16;
    ByteOrder order = OrderABCD;
    int function = 6;
    // The value the registers (or the coil) hold now, as a text typed for
    // the type and order would write it; empty when it is not known. The
    // value field starts on it, selected, and follows the type and order
    // until the user types.
    std::function<std::string(ValueType, ByteOrder)> currentText;
    // What a choice writes, or why it cannot; asked at every change.
    std::function<EncodedValue(const WriteValueChoice&)> encode;
    // Write was clicked: queue the choice. An empty answer closes the
    // dialog; a reason is shown in place of the preview and it stays open.
    std::function<std::string(const WriteValueChoice&)> write;
};

// GUI thread: the modal dialog, built but not shown; the caller owns it and
// runs it (exec). The value field has the focus; Write is the default button.
// The byte order, which a 16-bit value or a coil does not have, shows "—"
// then; its entries carry the 64-bit names for a 64-bit type.
QDialog* CreateWriteValueDialog(QWidget* parent, const WriteValueSetup& setup);

// The data list's "Write value…" entry asks the program which cells it is
// for, and has it open the dialog for one. Any thread before the window is
// built, or the GUI thread.
using WritableCellTest = bool (*)(int row, int column);
using WriteValueOpener = void (*)(int row, int column);
void SetWriteValueHandlers(WritableCellTest writable, WriteValueOpener open);

// GUI thread. Without handlers no cell is writable and nothing opens.
bool IsWritableCell(int row, int column);
void OpenWriteValue(int row, int column);
