// Rows, address labels and value texts of the four data tables.
#pragma once

#include <cstdint>
#include <optional>

// Main thread, on connect: sizes the data list for the block of the start
// address and length fields, labels the enabled tables, empties the others,
// and stores the number of rows to poll in program.tableRowTotal and the
// start address in program.tableStartAddress. Every table is then not stale
// and has no read time.
void RebuildDataTables();

// Worker thread, after a valid read response: writes the values of table
// 1..4 into its value column, one cell at a time in row order with a short
// pause before each. The values are the reply's data[0 .. dataCount) after
// its byte count, and no byte past them is read; the rows they hold no
// value for are then blanked in one update, without pauses, and so are the
// values not yet shown when program.cycleStop is set; rows beyond the
// list's rows are ignored.
void ShowReadValues(int table, const uint8_t* data, int dataCount, int32_t quantity, int selectorDI, int selectorCoils,
                    int selectorIR, int selectorHR);

// A value that no longer comes from the latest read must not look like a
// live one. These may be called from any thread, the poll worker's every
// cycle: a call that changes nothing hands nothing to the GUI thread.
//
// The values of table 1..4 are greyed (their texts stay) until the next MarkTableFresh.
void MarkTableStale(int table);
// A valid read of table 1..4 has just been shown: normal colour again; the time is kept for the tool tip.
void MarkTableFresh(int table);
// Every table greyed: the link is down, or the client disconnected.
void MarkAllTablesStale();

// Whole seconds since the last MarkTableFresh of table 1..4; -1 when it was
// not read since the last RebuildDataTables, and for any other number. Any
// thread.
int64_t SecondsSinceTableRead(int table);

// The format the value texts of table 1..4 are in: the selector index
// ShowReadValues last wrote them with (-1 before the first, and for any
// other table number). Any thread.
int ShownValueFormat(int table);

// The value list row holds in table 1..4's value column, read back from its
// text (a bit as 0 or 1); none for a row without a label or a value, or a
// text that is not the table's format. GUI thread.
std::optional<uint16_t> ShownRowValue(int table, int row);

// The pause ShowReadValues makes before each value, which keeps the window
// responsive while a long table fills; null restores the default 1 ms sleep.
// For measurements that must not include it.
void SetValuePause(void (*pause)());

// The wait cursor while on, the arrow when off.
void SetBusyCursor(bool on);
