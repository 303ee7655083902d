// A monotonic millisecond tick for measuring transaction times.
#pragma once

#include <cstdint>

// Milliseconds from an arbitrary fixed point, wrapping at 2^32; differences
// taken in 32-bit arithmetic stay right across the wrap.
uint32_t MillisecondTick();

// Milliseconds from tick to now.
uint32_t ElapsedSince(uint32_t tick);

// Milliseconds still to wait for at least ms to have passed since the tick
// since; 0 when they have. Ticks are whole milliseconds, so their difference
// may overstate the time passed by up to 1 ms: one more is waited for.
uint32_t WaitLeftMs(uint32_t ms, uint32_t since);
