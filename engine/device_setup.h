// The "Device settings..." button: the window filled with the settings
// chosen so far, and what OK does with its values.
#pragma once

#include <string>

#include "connection/device_settings.h"

class QDialog;

// GUI thread: the device settings chosen, from the file or the window: in
// force from the next cycle, saved at the next connect. A scan starts with
// the time-out and gap they set, where they set one.
void ChooseDeviceSettings(const DeviceSettings& chosen);

// GUI thread: the window, built but not shown. The caller owns it.
QDialog* CreateDeviceSetupWindow();

// GUI thread: runs the window modally; the window behind keeps polling.
void OpenDeviceSettings();

// The status text's tip: the text, and the device settings in force (those
// chosen while not connected) where they are not all the defaults.
std::string StatusTextTip(int field);
