// The data list's right-click menu: copying a value, a row or the whole
// table to the clipboard, and writing a value (write_value_dialog.h).
#pragma once

class QMenu;
class QModelIndex;
class QPoint;
class QTableView;
class QWidget;

// The menu for a right-click on cell (invalid: below the rows). The caller
// owns it. GUI thread.
QMenu* BuildDataListMenu(QTableView* list, const QModelIndex& cell);

// Context-menu handler of the data list: builds the menu for the cell at
// `at` (viewport coordinates) and shows it at `global`.
void ShowDataListMenu(QWidget* list, const QPoint& at, const QPoint& global);
