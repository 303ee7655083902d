// Cycle samples for the tests, filled the way the poll worker fills them:
// from the values of read replies through NoteTableRead.
#pragma once

#include <cstdint>
#include <vector>

#include "dataview/cycle_sample.h"

struct TableData {
    int table;
    std::vector<uint8_t> data;  // the response's data bytes
};

// A sample of the block start/rows/selectors at timeMs (UTC+01:00) with the
// given tables read valid; the other shown tables failed.
inline CycleSample MakeSample(int64_t timeMs, int64_t start, int64_t rows, std::vector<int> selectors,
                              const std::vector<TableData>& reads)
{
    CycleSample sample;
    BeginCycleSample(sample, start, rows, selectors.data());
    for (const TableData& read : reads)
        NoteTableRead(sample, read.table, read.data.data(), static_cast<int>(read.data.size()));
    FinishCycleSample(sample, timeMs, 60);
    return sample;
}
