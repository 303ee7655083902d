// The "Device settings" window: what the device needs of each transaction,
// one field a setting, each with a line that explains it and its default.
// It shows settings and hands the ones chosen to the program; it knows
// nothing of the link.
#pragma once

#include <functional>

#include "connection/device_settings.h"

class QDialog;
class QWidget;

// Called with the settings chosen when the user clicks OK.
using DeviceSettingsApply = std::function<void(const DeviceSettings&)>;

// GUI thread: the window filled with settings, built but not shown; modal
// over parent. OK hands the fields' values to apply and closes it; Cancel
// closes it; "Restore defaults" puts every field back to its default (OK
// still applies them). The caller owns it.
QDialog* CreateDeviceSettingsWindow(QWidget* parent, const DeviceSettings& settings, DeviceSettingsApply apply);
