// Every window the program opens, inside the screen's available area at a
// size that fits it, whatever the scale: a window larger than the area is
// made as large as the area, and one that would reach past an edge is moved
// in. The frame the desktop adds is counted as the main window's is.
#pragma once

class QSize;
class QWidget;

// GUI thread, before window (a top-level widget) is first shown: its size
// is preferred, or the area's where that is smaller, and it is centred over
// near (a window, or the screen's centre when null), within the area.
void PlaceOnScreen(QWidget* window, const QSize& preferred, const QWidget* near);

// GUI thread: for a window laid out by itself (a dialog, a message box),
// whose size is known only once shown: the same, each time it is shown.
void KeepOnScreen(QWidget* window);
