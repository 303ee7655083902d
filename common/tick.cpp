#include "common/tick.h"

#include <chrono>

uint32_t MillisecondTick()
{
    using namespace std::chrono;
    auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    return static_cast<uint32_t>(static_cast<uint64_t>(ms));
}

uint32_t ElapsedSince(uint32_t tick)
{
    return MillisecondTick() - tick;
}

uint32_t WaitLeftMs(uint32_t ms, uint32_t since)
{
    if (ms == 0)
        return 0;
    const uint32_t passed = ElapsedSince(since);
    return passed > ms ? 0 : ms + 1 - passed;
}
