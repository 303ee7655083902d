// The trend window's two saves: the chart as a picture, and every point it
// holds as CSV, written off the GUI thread so that the window and the
// polling go on meanwhile. A save that fails says why in a message box.
#pragma once

#include <future>
#include <string>

#include "dataview/series_store.h"

class QWidget;

// GUI thread: "Save as PNG…": asks for a file and saves what widget shows.
void SaveWidgetPicture(QWidget* widget);

// "Save data as CSV…": one write at a time.
struct DataSave {
    std::future<std::string> failure;  // empty text when the write went well
};

// GUI thread: asks for a file and starts writing a copy of the store to it;
// while a write is still going, says so instead.
void StartDataSave(DataSave& save, const SeriesStore& store);
// GUI thread, now and then: tells a finished write's failure, if any.
void CheckDataSave(DataSave& save);
// Waits for a write still going (the window is closing).
void FinishDataSave(DataSave& save);
