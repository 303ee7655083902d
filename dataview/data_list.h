// The data list (control 12): a table view over a model holding eight cell
// texts per row. Cell operations may be called from any thread.
#pragma once

#include <string>
#include <string_view>

class QTableView;
class QWidget;

// GUI thread: creates the view with its model, the eight columns with their
// headers and widths, the table font and the row colours.
QTableView* CreateDataList(QWidget* parent);

int DataListRowCount();
std::string GetCellText(int row, int column);
void SetCellText(int row, int column, std::string_view text);
