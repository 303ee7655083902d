#include "modbus/log_format.h"

// Not built yet.
std::string HexDump(const uint8_t*, int) { return {}; }
std::string FormatRequestLine(const uint8_t*, int) { return {}; }
std::string FormatWriteRequestLine(const uint8_t*, int) { return {}; }
std::string FormatResponseLine(const uint8_t*, int) { return {}; }
std::string FormatElapsedLine(int64_t) { return {}; }
