// The message log's right-click menu: "Copy", "Select All" and
// "Save Log As…", which writes the log to a file the user picks.
#pragma once

#include <string>

class QMenu;
class QPoint;
class QPlainTextEdit;
class QWidget;

// The menu for the log pane; the caller owns it. GUI thread.
QMenu* BuildLogMenu(QPlainTextEdit* log);

// Context-menu handler of the message log.
void ShowLogMenu(QWidget* log, const QPoint& at, const QPoint& global);

// Asks for a file and writes the log there; a failure is told in a message
// box. Nothing is written when the user cancels. GUI thread.
void SaveLogAs();

// Writes a first line with the date and time, host, port and unit id, then
// the log's lines. The file is replaced only once completely written.
// Returns false with a reason in error when it could not be.
bool SaveLogFile(const std::string& path, std::string& error);
