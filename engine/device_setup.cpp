#include "engine/device_setup.h"

#include <QDialog>
#include <QPointer>

#include <string>

#include "common/colours.h"
#include "connection/device_settings.h"
#include "engine/message_log.h"
#include "engine/program_state.h"
#include "ui/control_ids.h"
#include "ui/controls.h"
#include "ui/device_settings_window.h"

namespace {

// Taken at once; the link takes them over at its next cycle (the connect
// delay at its next connect) and the file at the next successful connect.
void Apply(const DeviceSettings& chosen)
{
    const bool changed = DeviceSettingsText(chosen) != DeviceSettingsText(program.deviceSettings);
    program.deviceSettings = chosen;
    if (changed && program.link.state != LinkOff)
        AppendLogLine("Device settings from the next cycle: " + DeviceSettingsText(chosen), kDarkGrey);
}

}  // namespace

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
