// The tool tips and right-click menus that let the user look closer at
// values, response times and the log, and to write a value. They only add:
// nothing shows unless the user hovers or right-clicks.
#pragma once

// Gives the window kit its tip providers and menu handlers. Once, on the GUI
// thread; before or after the window is built.
void RegisterTipAndMenuHandlers();
