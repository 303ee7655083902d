// A table longer than a device takes in one read, read in as many requests
// as it needs: which requests, and where the values of each land in the
// table. Plain arithmetic: no I/O, no Qt.
#pragma once

#include <cstdint>

// How one table of a cycle is read.
struct ReadSplit {
    int64_t address = 0;  // the table's first address as it goes out
    int64_t limit = 1;    // the most values a request asks for
    int64_t firstRow = 0;
    int64_t endRow = 0;  // rows firstRow .. endRow - 1 are requested
    int64_t parts = 0;   // requests, in address order
};

// One request of a split read.
struct ReadPart {
    int64_t address = 0;  // as it goes out
    int64_t quantity = 0;
    int64_t firstRow = 0;  // the table row of its first value
};

// The requests that read quantity values from address (as it goes out,
// the offset already applied) with at most limit values each:
// - a table of at most limit values (or none) is one request for all of
//   it, with its address and quantity as they are, as a table always was;
// - a longer one is read in parts of limit values from its first row, the
//   last one shorter, in address order; addresses below 0 and past 65535
//   exist on no device and are not asked for: their rows lie outside
//   firstRow .. endRow - 1 (no part at all when every row does).
// A limit below 1 counts as 1.
ReadSplit SplitRead(int64_t address, int64_t quantity, int64_t limit);

// Part index (0 .. parts - 1) of the split.
ReadPart PartOf(const ReadSplit& split, int64_t index);

// Puts the values of one part (its reply's data after the byte count, count
// bytes) into the table's data, where a single reply for the whole table
// would have had them: registers two bytes each from 2 * firstRow, bits
// from bit firstRow on (the lowest bit of a byte first). Only the part's
// quantity is taken, and only as far as data holds it; table holds
// tableBytes bytes and nothing past them is written.
void PlacePartValues(bool bits, const uint8_t* data, int count, const ReadPart& part, uint8_t* table,
                     int64_t tableBytes);
