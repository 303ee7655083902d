// The data list (control 12): a table view over a model holding eight cell
// texts per row. Cell operations may be called from any thread.
#pragma once

#include <QString>

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/gui_call.h"

class QFont;
class QTableView;
class QWidget;

constexpr int kDataListColumns = 8;
using DataRow = std::array<QString, kDataListColumns>;

// GUI thread: creates the view with its model, the eight columns with their
// headers and widths, the row colours, and rows as high as the given font
// (the table font) needs.
QTableView* CreateDataList(QWidget* parent, const QFont& font);

// These act on the list registered as control 12; without one the list reads
// as empty and writes do nothing. A cell outside the rows or columns reads as
// "" and is not written.
int DataListRowCount();
std::string GetCellText(int row, int column);
// Returns false when nothing was written (no such cell, or shutting down).
bool SetCellText(int row, int column, std::string_view text);

// SetCellText in two steps, for a caller with something to do while the
// GUI thread writes the cell: StartCellText hands the text over and returns,
// FinishCellText waits until it is written and returns what SetCellText
// would. The record and the text must stay alive until then, and a record
// is finished before it is started again.
struct CellTextHandOff {
    int row = 0;
    int column = 0;
    std::string_view text;
    bool written = false;
    GuiHandOff handOff;
};
void StartCellText(CellTextHandOff& cell, int row, int column, std::string_view text);
bool FinishCellText(CellTextHandOff& cell);

// Writes texts into a column from firstRow down and empties the cells after
// them up to endRow, with one update of the view however many there are;
// rows past the list's end are ignored. Returns false when nothing was
// written (no list, or shutting down).
bool SetCellTexts(int column, int firstRow, std::vector<std::string> texts, int endRow);

// Tells the user something about a cell without stopping the window: the
// system beep and a note like a tool tip, level with the cell's row where it
// covers no value (else above the rows, or below them), gone with the next
// key or click.
void ShowCellNotice(int row, int column, std::string_view text);
// The object name of that note, a top-level label while it shows.
constexpr const char* kCellNoticeName = "sorbel-cell-notice";

// Answers the tool tip of a cell (row, column), empty for none. Asked on the
// GUI thread each time a tip is due.
using CellTipProvider = std::string (*)(int row, int column);
void SetCellTipProvider(CellTipProvider provider);

// GUI thread: the texts of the columns marked in greyed are drawn in the
// stale-value grey, the others in the list's own text colour; one update of
// the view for the columns that changed. Rows added later take their
// column's colour.
void SetGreyedColumns(const std::array<bool, kDataListColumns>& greyed);

// GUI thread: lets edit change the rows as a plain vector and shows the
// result with one model reset, however many rows it added or removed.
void ChangeDataListRows(const std::function<void(std::vector<DataRow>&)>& edit);
