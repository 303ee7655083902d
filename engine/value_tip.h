// The tool tip of a value cell of the data list: the row's register or bit
// with its addresses and its value every way.
#pragma once

#include <string>

// GUI thread. Rich text; empty for address cells and rows without a value.
std::string ValueCellTip(int row, int column);
