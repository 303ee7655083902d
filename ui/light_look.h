// The program's one look: light, whatever the desktop's colour scheme. The
// window's fixed colours (the greys of the pages and the list, white text
// panes, black, blue and red text) are those of a light scheme, so the
// controls' own colours (fields, buttons, headers, scroll bars, menus,
// dialogs, tool tips) are made light too rather than half the window
// following a dark desktop. Disabled text is dark enough to read (4.5:1) on
// every background it is drawn on, so a locked field still shows its value.
#pragma once

#include <QPalette>

// The palette: every role of every group set, so that no colour of the
// desktop's scheme shows through.
QPalette LightPalette();

// GUI thread: gives the application, its tool tips and every window it
// opens the light palette. Again after the desktop's scheme changed: Qt then
// hands its classes the scheme's palettes anew.
void UseLightLook();
