// The data list's "Write value…": which cells it writes, and the dialog for
// one, filled from the program's state. Its write joins the queue as a cell
// edit's does, with the unit id and address offset of the moment Write is
// clicked.
#pragma once

class QDialog;

// A Coils or Holding Registers value of a shown table while connected: the
// link up, or down and being brought back (the write then waits in the
// queue). GUI thread.
bool IsCellWritable(int row, int column);

// GUI thread: the dialog for the cell, built but not shown, or null when the
// cell is not writable. The caller owns it.
QDialog* CreateWriteValueDialogFor(int row, int column);

// GUI thread: runs the dialog for the cell modally and returns when it is
// closed; the window behind keeps polling.
void OpenWriteValueDialog(int row, int column);
