// How long to wait before the next attempt to bring a lost link back: the
// pauses run start to start, so an attempt that took long to fail does not
// push the next one further out. Plain arithmetic: no I/O, no clock.
#pragma once

#include <cstdint>

// The pause from the start of one attempt to the start of the next after
// failures attempts in a row have failed: 1 s after the first, 2 s after
// the second, then 3 s. No pause (0) before any has failed.
uint32_t ReconnectPauseMs(int failures);

// Milliseconds still to wait, msSinceLastStart after the latest attempt
// started; 0 when its pause is over already.
uint32_t ReconnectDelayMs(int failures, uint32_t msSinceLastStart);
