// Rows, address labels and value texts of the four data tables.
#pragma once

#include <cstdint>

// Main thread, on connect: sizes the data list for the block of the start
// address and length fields, labels the enabled tables, empties the others,
// and stores the number of rows to poll in program.tableRowTotal.
void RebuildDataTables();

// Worker thread, after a valid read response: writes the values of table
// 1..4 into its value column. Only the receivedCount bytes of buffer are
// read; rows the response holds no data for are blanked.
void ShowReadValues(int table, const uint8_t* buffer, int receivedCount, int32_t quantity,
                    int selectorDI, int selectorCoils, int selectorIR, int selectorHR);

// The wait cursor while on, the arrow when off.
void SetBusyCursor(bool on);
