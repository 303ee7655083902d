#include "engine/device_setup.h"

#include <QDialog>
#include <QPointer>

#include <algorithm>
#include <string>

#include "common/colours.h"
#include "connection/device_settings.h"
#include "engine/message_log.h"
#include "engine/program_state.h"
#include "modbus/scan_exchange.h"
#include "ui/control_ids.h"
#include "ui/controls.h"
#include "ui/device_settings_window.h"

namespace {

// What the window's OK does; while connected the log says from when.
void Apply(const DeviceSettings& chosen)
{
    const bool changed = DeviceSettingsText(chosen) != DeviceSettingsText(program.deviceSettings);
    ChooseDeviceSettings(chosen);
    if (changed && program.link.state != LinkOff)
        AppendLogLine("Device settings from the next cycle: " + DeviceSettingsText(chosen), kDarkGrey);
}

}  // namespace

void ChooseDeviceSettings(const DeviceSettings& chosen)
{
    program.deviceSettings = chosen;
    // A scan's own short time-out suits an unknown line; a device known to
    // be slower, or to need a longer gap, gets its own in the scan too.
    const ScanPacing defaults;
    program.scanPacing.timeoutMs = chosen.timeoutMs != kResponseTimeoutMs ? chosen.timeoutMs : defaults.timeoutMs;
    program.scanPacing.gapMs = std::max(chosen.requestGapMs, defaults.gapMs);
}

QDialog* CreateDeviceSetupWindow()
{
    QWidget* button = FindControl(IdDeviceSettings);
    return CreateDeviceSettingsWindow(button ? button->window() : nullptr, program.deviceSettings, Apply);
}

void OpenDeviceSettings()
{
    // The main window owns it too: gone with it, it is not deleted twice.
    QPointer<QDialog> window = CreateDeviceSetupWindow();
    window->exec();
    delete window.data();
}

std::string StatusTextTip(int field)
{
    std::string tip = GetStatusField(field);
    const DeviceSettings& settings = program.link.state == LinkOff ? program.deviceSettings : program.link.device;
    if (!IsDefaultDevice(settings))
        tip += "\nDevice settings: " + DeviceSettingsText(settings);
    return tip;
}
