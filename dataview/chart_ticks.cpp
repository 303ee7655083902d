#include "dataview/chart_ticks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>

namespace {

// The clock's round steps, in ms.
constexpr int64_t kTimeSteps[] = {1,         2,         5,          10,         20,         50,        100,
                                  200,       500,       1'000,      2'000,      5'000,      10'000,    15'000,
                                  30'000,    60'000,    120'000,    300'000,    600'000,    900'000,   1'800'000,
                                  3'600'000, 7'200'000, 10'800'000, 21'600'000, 43'200'000, 86'400'000};

constexpr int64_t kDayMs = 86'400'000;

// The smallest round step (1, 2 or 5 times a power of ten) of at least span.
double RoundStepOf(double span)
{
    const double power = std::pow(10.0, std::floor(std::log10(span)));
    for (double factor : {1.0, 2.0, 5.0, 10.0})
        if (factor * power >= span * (1 - 1e-9))
            return factor * power;
    return 10 * power;
}

int64_t FloorDiv(int64_t a, int64_t b)
{
    return a / b - (a % b != 0 && (a < 0) != (b < 0));
}

}  // namespace

ValueTicks RoundValueTicks(double low, double high, int maxTicks, bool whole)
{
    ValueTicks ticks;
    if (!std::isfinite(low) || !std::isfinite(high) || low > high)
        return ticks;
    maxTicks = std::max(maxTicks, 2);
    const double span = high > low ? high - low : std::max(1.0, std::abs(low));
    // The step that gives at most maxTicks ticks over the span.
    ticks.step = RoundStepOf(span / (maxTicks - 1));
    if (whole)
        ticks.step = std::max(ticks.step, 1.0);
    const double first = std::ceil(low / ticks.step - 1e-9);
    const double last = std::floor(high / ticks.step + 1e-9);
    for (double k = first; k <= last && ticks.values.size() < static_cast<size_t>(maxTicks) + 1; k++)
        ticks.values.push_back(k * ticks.step + 0.0);  // + 0.0: no "-0"
    ticks.decimals = std::max(0, static_cast<int>(-std::floor(std::log10(ticks.step) + 1e-9)));
    return ticks;
}

ValueRange RoundValueRange(double low, double high, int maxTicks, bool whole)
{
    if (!std::isfinite(low) || !std::isfinite(high) || low > high)
        return {};
    if (low == high) {
        const double room = whole ? 1.0 : std::max(std::abs(low) * 0.1, 1e-6);
        low -= room;
        high += room;
    }
    const ValueTicks ticks = RoundValueTicks(low, high, maxTicks, whole);
    return {std::floor(low / ticks.step + 1e-9) * ticks.step, std::ceil(high / ticks.step - 1e-9) * ticks.step};
}

std::string ValueTickText(double value, const ValueTicks& ticks)
{
    char text[48];
    const double magnitude = std::max(std::abs(value), ticks.step);
    if (magnitude >= 1e9 || ticks.step < 1e-6)
        std::snprintf(text, sizeof text, "%.3g", value);
    else
        std::snprintf(text, sizeof text, "%.*f", ticks.decimals, value + 0.0);
    std::string shown = text;
    if (shown.find_first_not_of("-0.") == std::string::npos)
        return "0";  // "-0", "-0.00"
    return shown;
}

TimeTicks RoundTimeTicks(int64_t fromMs, int64_t toMs, int maxTicks, int32_t utcOffsetMinutes)
{
    TimeTicks ticks;
    if (toMs <= fromMs)
        return ticks;
    maxTicks = std::max(maxTicks, 2);
    const int64_t span = toMs - fromMs;
    ticks.stepMs = kTimeSteps[std::size(kTimeSteps) - 1];
    for (int64_t step : kTimeSteps)
        if (span / step + 1 <= maxTicks) {
            ticks.stepMs = step;
            break;
        }
    // Round on the local clock: 07:15:00 local, not UTC.
    const int64_t offset = int64_t{utcOffsetMinutes} * 60'000;
    for (int64_t t = (FloorDiv(fromMs + offset - 1, ticks.stepMs) + 1) * ticks.stepMs - offset; t <= toMs;
         t += ticks.stepMs)
        ticks.timesMs.push_back(t);
    return ticks;
}

std::string TimeTickText(int64_t ms, int64_t stepMs, int32_t utcOffsetMinutes)
{
    int64_t local = (ms + int64_t{utcOffsetMinutes} * 60'000) % kDayMs;
    if (local < 0)
        local += kDayMs;
    const int hours = static_cast<int>(local / 3'600'000);
    const int minutes = static_cast<int>(local / 60'000 % 60);
    const int seconds = static_cast<int>(local / 1000 % 60);
    const int millis = static_cast<int>(local % 1000);
    char text[24];
    if (stepMs % 60'000 == 0)
        std::snprintf(text, sizeof text, "%02d:%02d", hours, minutes);
    else if (stepMs % 1000 == 0)
        std::snprintf(text, sizeof text, "%02d:%02d:%02d", hours, minutes, seconds);
    else
        std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", hours, minutes, seconds, millis);
    return text;
}
