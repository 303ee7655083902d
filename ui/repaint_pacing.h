// Paces the repaints of a window to the display's rate.
#pragma once

class QWidget;

// A display shows at most about 60 frames a second, so the window repaints
// at most once per 16 ms: what changed in between (a table filling value by
// value, log lines, status fields) is painted together, at most 16 ms after
// the first change. A lone change after a quiet spell, exposure and
// resizing paint at once as before.
// GUI thread, once per top-level window.
void PaceRepaints(QWidget* window);
