// The one window: tab panel with five pages, status bar.
#pragma once

class QWidget;

// Builds the window with every page and control, registers each control
// under its id, and shows it. Returns the window, or nullptr on failure.
QWidget* BuildMainWindow();
