#include "connection/settings.h"

// Not built yet.
void LoadSettings() {}
void SaveSettings() {}
