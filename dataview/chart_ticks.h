// Tick marks of the trend chart's axes at round values: a value axis steps
// by 1, 2 or 5 times a power of ten (whole numbers for a series of whole
// numbers), the time axis by a round span of the clock (1, 2, 5, 10, 15 or
// 30 seconds or minutes, and so on), set on the local time. Pure: numbers
// in, ticks and their texts out.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ValueTicks {
    double step = 1;
    std::vector<double> values;  // low to high, each a whole multiple of step
    int decimals = 0;            // what the texts show after the point
};

// The ticks on [low, high], as many as fit maxTicks (at least 2 are asked
// for) at the smallest round step that keeps to it; whole: the step is at
// least 1. low > high, or either not finite, gives no ticks.
ValueTicks RoundValueTicks(double low, double high, int maxTicks, bool whole);

// The range an axis shows for values from low to high: widened out to the
// round step's ticks around them, so that the axis starts and ends on a
// tick; a single value gets room around it (a whole one 1 on either side).
struct ValueRange {
    double low = 0;
    double high = 1;
};
ValueRange RoundValueRange(double low, double high, int maxTicks, bool whole);

// A tick's text: its value with the ticks' decimals ("1800", "-2.5",
// "0.05"); in exponent form ("1e+09", "2.5e-07") where plain digits would
// run long.
std::string ValueTickText(double value, const ValueTicks& ticks);

struct TimeTicks {
    int64_t stepMs = 1000;
    std::vector<int64_t> timesMs;  // from first to last, on round local times
};

// The ticks between fromMs and toMs (ms since 1970 UTC) for a local time
// utcOffsetMinutes ahead of UTC, at most maxTicks of them.
TimeTicks RoundTimeTicks(int64_t fromMs, int64_t toMs, int maxTicks, int32_t utcOffsetMinutes);

// A time tick's text in local time: "07:15" for steps of whole minutes,
// "07:15:03" for whole seconds, "07:15:03.250" below.
std::string TimeTickText(int64_t ms, int64_t stepMs, int32_t utcOffsetMinutes);
