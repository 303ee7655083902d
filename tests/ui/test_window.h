// Helpers of the window tests.
#pragma once

#include <functional>

#include "ui/controls.h"

class QImage;
class QWidget;

// A newly built window for the test at hand (the previous one is deleted),
// so that no test sees what another changed.
QWidget* TestWindow();

// Delivers GUI events until done() holds or ten seconds pass; returns done().
bool PumpUntil(const std::function<bool()>& done);

// What the screen shows of widget, once the window's next frame is painted:
// the window's own picture, not one painted anew for the asking.
QImage ScreenImage(QWidget* widget);

// The control behind id as the widget type T, or nullptr.
template <class T>
T* Control(int id)
{
    return qobject_cast<T*>(FindControl(id));
}
