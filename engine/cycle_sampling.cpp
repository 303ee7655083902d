#include "engine/cycle_sampling.h"

#include <utility>

#include "dataview/cycle_sample.h"
#include "dataview/sample_handover.h"
#include "dataview/wall_clock.h"
#include "engine/program_state.h"

void BeginSampling(int64_t startAddress, int64_t quantity, const int selectors[4])
{
    // Asked once per cycle: a consumer attaching meanwhile gets the next one.
    program.sampling = SamplesWanted(program.samples);
    if (program.sampling)
        BeginCycleSample(program.cycleSample, startAddress, quantity, selectors);
}

void SampleValidRead(int table, const uint8_t* data, int dataCount, uint32_t responseMs)
{
    SampleTableValues(table, data, dataCount);
    SampleResponseTime(responseMs);
}

void SampleTableValues(int table, const uint8_t* data, int dataCount)
{
    if (program.sampling)
        NoteTableRead(program.cycleSample, table, data, dataCount);
}

void SampleResponseTime(uint32_t responseMs)
{
    if (program.sampling)
        NoteResponseTime(program.cycleSample, WallClockNow().ms, responseMs);
}

void SampleBadOutcome(const Outcome& outcome)
{
    if (program.sampling)
        NoteBadResponse(program.cycleSample, outcome);
}

void FinishSampledReads()
{
    if (!program.sampling)
        return;
    const WallTime now = WallClockNow();
    FinishCycleSample(program.cycleSample, now.ms, now.utcOffsetMinutes);
}

void PublishCycleSample()
{
    if (!program.sampling)
        return;
    program.sampling = false;
    PublishSample(program.samples, std::move(program.cycleSample));
}
