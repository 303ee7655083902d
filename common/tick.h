// A monotonic millisecond tick for measuring transaction times.
#pragma once

#include <cstdint>

// Milliseconds from an arbitrary fixed point, wrapping at 2^32; differences
// taken in 32-bit arithmetic stay right across the wrap.
uint32_t MillisecondTick();

// Milliseconds from tick to now.
uint32_t ElapsedSince(uint32_t tick);
