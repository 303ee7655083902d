// The window's two fonts. Asked for by name; the system substitutes a font it
// has when the named one is missing.
#pragma once

class QFont;

// Creates both fonts; GUI thread, after QApplication.
void CreateFonts();

// "Verdana" 10 pt: every control of the window except the status bar.
const QFont& NormalFont();
// "Tahoma" 8 pt: the data list.
const QFont& TableFont();
