#include "connection/settings_format.h"

// Not built yet.
SettingsValues ReadSettingsText(std::string_view) { return {}; }
std::string WriteSettingsText(const SettingsValues&) { return {}; }
std::string SettingsPath() { return {}; }
