// The one window: tab panel with five pages, status bar.
#pragma once

class QMargins;
class QRect;
class QSize;
class QWidget;

// Builds the window with every page and control, registers each control
// under its id, and shows it. Returns the window, or nullptr on failure.
QWidget* BuildMainWindow();

// Where the window goes on a screen whose available area is area: its
// outer rectangle (client plus frame) centred there, clipped to the area
// when it is larger.
QRect OuterWindowRect(const QRect& area, const QSize& client, const QMargins& frame);
