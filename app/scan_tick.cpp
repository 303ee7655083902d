#include "app/scan_tick.h"

// Not built yet.
void ScanTick() {}
