#include "modbus/message_log.h"

// Not built yet.
void AppendLogLine(std::string_view, Rgb) {}
void TrimLog() {}
void ScrollLogToEnd() {}
void RefreshCounterFields() {}
void ClearLogAndCounters() {}
