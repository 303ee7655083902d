#include "dataview/data_tables.h"

// Not built yet.
void RebuildDataTables() {}
void ShowReadValues(int, const uint8_t*, int, int32_t, int, int, int, int) {}
void SetBusyCursor(bool) {}
