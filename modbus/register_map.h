// Which addresses of one table of one unit can be read: a map of readable
// and unreadable ranges, found by reading as much as a request may carry
// and, where a read is refused with exception 02 or 03, bisecting for the
// first address refused and then searching for the end of the hole. Pure:
// see scan_step.h.
//
// A hole is taken to be one block: once its first address is found, its
// end is the first readable address after it, found by probing single
// addresses in stretches of 8, 16, 32, ... past its start and bisecting
// between the last two probes. That costs about log2 of the read limit to
// find the start and 2 * log2 of its length to find the end; a readable
// island inside a hole that falls between two probes is not seen. Every
// range reported readable was read.
//
// Register maps are laid out in blocks that start at round addresses (100,
// 5000), so the search for a hole's start tries the roundest address of the
// refused read first (reading up to it, then it alone), and each probe past
// the start goes to the roundest address of its stretch, the first readable
// one followed by a probe of the address before it. Holes from 100 to 199
// and from 5000 to 5004 in 0-9999 take 92 reads instead of 109; where the
// guesses miss they cost a read or two more.
#pragma once

#include <string_view>
#include <vector>

#include "modbus/scan_step.h"

enum MapTable { MapCoils, MapInputs, MapInputRegisters, MapHoldingRegisters };

// "coils", "inputs", "input-registers", "holding-registers".
const char* MapTableName(MapTable table);
// The table of one of those names; false for any other text.
bool MapTableFromName(std::string_view name, MapTable* table);
// Function code of the table's read: 1, 2, 4, 3.
uint8_t MapReadFunction(MapTable table);
// The most one read may ask for: 2000 bits, 125 registers.
int MapReadLimit(MapTable table);

enum RangeStatus {
    RangeReadable,    // read, answered normally
    RangeUnreadable,  // refused with exception 02 or 03, one address at a time where it mattered
    RangeException,   // refused with another exception: nothing is known of its addresses
    RangeAbsent,      // exception 0x0A or 0x0B: the gateway has nothing behind it
    RangeSilent,      // no reply within the time-out
    RangeInvalid,     // a reply that is not a valid one
};

// "readable", "unreadable", "exception", "absent", "silent", "invalid".
const char* RangeStatusName(RangeStatus status);

struct MapRange {
    int first = 0;
    int last = 0;
    RangeStatus status = RangeReadable;
};

enum MapPhase {
    MapCover,      // reading onwards from pos, as much as a read may carry
    MapFindStart,  // bisecting a refused read for its first unreadable address
    MapFindEnd,    // probing past a hole's start for its end
    MapDone,
};

// A map of first..last of one table. Owned by the thread that drives it.
struct RegisterMap {
    uint8_t unit = 1;
    MapTable table = MapHoldingRegisters;
    int first = 0;
    int last = 0;
    // The longest read: the table's limit, halved when a device turns out to
    // refuse a read for its length alone (exception 03 to a read whose every
    // part it then answers).
    int limit = 125;
    MapPhase phase = MapCover;
    int pos = 0;  // the first address not in a range yet
    // MapFindStart: the first unreadable address lies in lo..hi; a read of
    // exactly lo..hi was refused when hiRefused; window is the length of
    // the read that started the search; guess the address tried first as
    // the hole's start (-1 once tried).
    // MapFindEnd: the hole starts at holeStart; lo is the last address known
    // unreadable, hi the first known readable (-1: none yet), step the
    // distance from holeStart of the end of the stretch probed next while
    // hi is -1; guess the address probed first once hi is known (-1 once
    // probed).
    int lo = 0;
    int hi = 0;
    bool hiRefused = false;
    int window = 0;
    int holeStart = 0;
    int step = 0;
    int guess = -1;
    std::vector<MapRange> ranges;  // in address order, neighbours of one status joined
};

// A map of first..last (0..65535, first <= last) of the unit's table.
RegisterMap StartRegisterMap(uint8_t unit, MapTable table, int first, int last);

// The read to send next; false when the map is done.
bool NextMapRequest(const RegisterMap& map, ScanRequest* request);

// What came of the read NextMapRequest gave.
void TakeMapReply(RegisterMap& map, const ScanReply& reply);
