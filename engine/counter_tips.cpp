#include "engine/counter_tips.h"

#include "engine/program_state.h"
#include "modbus/response_stats.h"
#include "ui/control_ids.h"

std::string CounterFieldTip(int field)
{
    if (field != StatusPolls && field != StatusValid && field != StatusBad)
        return {};
    const ResponseSummary summary = SummariseResponseStats(program.responseStats);
    std::string tip = "Since the last connect or \"Clear Log and Counters\":";
    if (field != StatusBad)
        tip += "\n" + ResponseTimesText(summary);
    if (field != StatusValid)
        tip += "\n" + BadCausesText(summary);
    return tip;
}
