// The ranges of the numeric fields, so that each value goes out as shown.
#pragma once

#include <cstdint>

// The highest address a request can carry (16 bits).
constexpr int64_t kHighestAddress = 65535;

// What each numeric field may hold, so that it goes out exactly as shown.
// A TCP port and the quantity of a read request are 16 bits, the unit id
// one byte.
constexpr int64_t kHighestPort = 65535;
constexpr int64_t kHighestUnitId = 255;
constexpr int64_t kHighestLength = 65535;
// The scan timer's floor: a shorter interval would keep the GUI thread
// busy ticking. The ceiling, one hour, is far past any useful poll rate
// and well inside the timer's int milliseconds and TextToInt32.
constexpr int64_t kLowestScanRate = 10;
constexpr int64_t kHighestScanRate = 3600000;
