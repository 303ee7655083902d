// The menu entries that take values over time: "Record to CSV…" (or the
// recording's "Stop recording" entry) and "Plot" on the data list, and the
// response time's "Plot" on the counter fields of the status bar. The
// program answers what they show and does what they ask through handlers.
#pragma once

#include <string>
#include <vector>

class QMenu;
class QPoint;
class QWidget;

struct ValuesMenuHandlers {
    // The recording entry's text: "Record to CSV…" or, while a recording
    // runs, "Stop recording" with the file's name and rows.
    std::string (*recordEntryText)() = nullptr;
    void (*toggleRecording)() = nullptr;
    // What the value of table 1..4 at list row can be plotted as, in menu
    // order; plot adds the choice'th of them.
    std::vector<std::string> (*plotChoices)(int table, int row) = nullptr;
    void (*plot)(int table, int row, int choice) = nullptr;
    // Plots the response time.
    void (*plotResponseTime)() = nullptr;
};

// GUI thread, before the menus are shown.
void SetValuesMenuHandlers(const ValuesMenuHandlers& handlers);

// Adds the recording entry and the "Plot" submenu for a right-click on the
// data list's cell at row and column (row -1: below the rows) to menu.
// table is the table the column belongs to, shown tells whether its address
// column is labelled. Nothing without handlers.
void AddValuesEntries(QMenu* menu, int table, int row, bool shown);

// Context-menu handler of the status bar's counter fields: "Plot response
// time".
void ShowCounterFieldMenu(QWidget* field, const QPoint& at, const QPoint& global);
