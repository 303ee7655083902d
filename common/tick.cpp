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
