// The wall-clock time that stamps recorded values: what an engineer reads on
// the machine's clock, not the monotonic tick that times transactions.
#pragma once

#include <cstdint>

struct WallTime {
    int64_t ms = 0;                // since 1970-01-01 00:00 UTC
    int32_t utcOffsetMinutes = 0;  // local time minus UTC at that moment: +60 for UTC+01:00
};

// The system clock now, with the local offset in force now.
WallTime WallClockNow();

// The local offset in force at a moment, daylight saving included.
int32_t UtcOffsetMinutesAt(int64_t ms);
