// Helpers of the window tests.
#pragma once

#include <functional>

#include "ui/controls.h"

class QWidget;

// A newly built window for the test at hand (the previous one is deleted),
// so that no test sees what another changed.
QWidget* TestWindow();

// Delivers GUI events until done() holds or ten seconds pass; returns done().
bool PumpUntil(const std::function<bool()>& done);

// The control behind id as the widget type T, or nullptr.
template <class T>
T* Control(int id)
{
    return qobject_cast<T*>(FindControl(id));
}
