// The poll worker's side of the values over time: while anyone takes
// samples (a CSV recording, the trend window), each cycle fills one
// CycleSample and hands it over at its end. While no one does, every call
// here returns at once and the cycle costs what it did without them.
// Worker thread.
#pragma once

#include <cstdint>

#include "modbus/outcome.h"

// At the start of a cycle, with its snapshot: start address, Length and the
// four selectors (Discrete Inputs, Coils, Input Registers, Holding Registers).
void BeginSampling(int64_t startAddress, int64_t quantity, const int selectors[4]);

// A valid read of table 1..4: its values (the reply's data[0 .. dataCount)
// after its byte count) and its response time.
void SampleValidRead(int table, const uint8_t* data, int dataCount, uint32_t responseMs);
// The values of table 1..4 read in several requests, put together as one
// reply would carry them.
void SampleTableValues(int table, const uint8_t* data, int dataCount);
// A valid write, or one request of a table read in several: its response time.
void SampleResponseTime(uint32_t responseMs);
// A transaction that ended bad, by its kind as the tips count it.
void SampleBadOutcome(const Outcome& outcome);

// The reads are over: the row's time stamp.
void FinishSampledReads();
// The cycle is over (its writes included): the sample goes to the consumers.
void PublishCycleSample();
