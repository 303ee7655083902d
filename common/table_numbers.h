// The numbers of the four data tables and of the format-selector entries.
#pragma once

// Table numbers: the read order of a cycle, the transaction id of the
// table's read request and the index of its columns and selector.
enum TableNumber { TableDiscreteInputs = 1, TableCoils = 2, TableInputRegisters = 3, TableHoldingRegisters = 4 };

// Format-selector entries. 0 disables a table; -1 (nothing selected) enables it.
enum FormatIndex { FormatNoData = 0, FormatBit = 1, FormatBinary = 1, FormatHex = 2, FormatDecimal = 3 };
