#include "dataview/wall_clock.h"

#include <chrono>
#include <ctime>

WallTime WallClockNow()
{
    const auto now = std::chrono::system_clock::now();
    const int64_t ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
    return {ms, UtcOffsetMinutesAt(ms)};
}

int32_t UtcOffsetMinutesAt(int64_t ms)
{
    // Floor division, so a moment before 1970 falls in the right second.
    const int64_t seconds = ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
    const time_t t = static_cast<time_t>(seconds);
    tm local{};
    if (!localtime_r(&t, &local))
        return 0;
    return static_cast<int32_t>(local.tm_gmtoff / 60);
}
