#include "engine/counter_tips.h"

#include <cstdio>

#include "modbus/response_stats.h"
#include "ui/control_ids.h"

namespace {

// "23:10:05", the local time of day.
std::string TimeOfDay(const WallTime& at)
{
    constexpr int64_t kDayMs = 24 * 3600 * 1000;
    int64_t ms = (at.ms + int64_t{at.utcOffsetMinutes} * 60000) % kDayMs;
    if (ms < 0)
        ms += kDayMs;
    const int64_t seconds = ms / 1000;
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", static_cast<int>(seconds / 3600),
                  static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
    return text;
}

std::string PeriodLine()
{
    switch (program.figuresStart) {
    case FiguresSinceConnect:
        return "Since connected at " + TimeOfDay(program.figuresStartedAt);
    case FiguresSinceClear:
        return "Since cleared at " + TimeOfDay(program.figuresStartedAt);
    default:
        return "Since the program started";
    }
}

}  // namespace

std::string CounterFieldTip(int field)
{
    if (field != StatusPolls && field != StatusValid && field != StatusBad)
        return {};
    const ResponseSummary summary = SummariseResponseStats(program.responseStats);
    std::string tip = PeriodLine();
    if (field != StatusBad)
        tip += "\n" + ResponseTimesText(summary);
    if (field != StatusValid)
        tip += "\n" + BadCausesText(summary);
    return tip;
}

void RestartResponseFigures(FiguresStart why)
{
    ResetResponseStats(program.responseStats);
    program.figuresStart = why;
    program.figuresStartedAt = WallClockNow();
}
