// The tab panel: a tab widget whose tabs the program draws itself, each
// filled with one colour and captioned in the system's text colour.
#pragma once

#include "common/colours.h"

class QTabWidget;
class QWidget;

QTabWidget* CreateTabPanel(QWidget* window, Rgb tabColour);
