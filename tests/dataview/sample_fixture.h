// Cycle samples for the tests, filled the way the poll worker fills them:
// from read responses through NoteTableRead.
#pragma once

#include <cstdint>
#include <vector>

#include "dataview/cycle_sample.h"

// The data bytes of a read response of table 1..4 behind a 9-byte header.
inline std::vector<uint8_t> ReadResponse(int table, const std::vector<uint8_t>& data)
{
    std::vector<uint8_t> bytes = {0,
                                  static_cast<uint8_t>(table),
                                  0,
                                  0,
                                  0,
                                  static_cast<uint8_t>(3 + data.size()),
                                  1,
                                  static_cast<uint8_t>(table == 1   ? 2
                                                       : table == 2 ? 1
                                                       : table == 3 ? 4
                                                                    : 3),
                                  static_cast<uint8_t>(data.size())};
    bytes.insert(bytes.end(), data.begin(), data.end());
    return bytes;
}

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
    for (const TableData& read : reads) {
        const std::vector<uint8_t> response = ReadResponse(read.table, read.data);
        NoteTableRead(sample, read.table, response.data(), static_cast<int>(response.size()));
    }
    FinishCycleSample(sample, timeMs, 60);
    return sample;
}
