#include "modbus/register_map.h"

#include <algorithm>

namespace {

constexpr int kFirstProbeStep = 8;

struct Span {
    int first = 0;
    int last = 0;
};

// The steps a round address is a multiple of, roundest first, as register
// maps are written down.
constexpr int kRoundSteps[] = {100000, 50000, 10000, 5000, 1000, 500, 100, 50, 10, 5};

// The roundest address of first..last (the last of the roundest); -1 when
// none of them is round.
int Roundest(int first, int last)
{
    for (int step : kRoundSteps)
        if (const int multiple = last - last % step; multiple >= first)
            return multiple;
    return -1;
}

// The read the map asks for in its present state.
Span CurrentRead(const RegisterMap& map)
{
    switch (map.phase) {
    case MapCover:
        return {map.pos, std::min(map.last, map.pos + map.limit - 1)};
    case MapFindStart:
        // The guess: up to it, then it alone.
        if (map.guess > map.lo)
            return {map.lo, map.guess - 1};
        if (map.lo == map.hi || map.guess == map.lo)
            return {map.lo, map.lo};
        return {map.lo, map.lo + (map.hi - map.lo) / 2};
    case MapFindEnd: {
        int probe = map.lo + (map.hi - map.lo) / 2;
        if (map.hi < 0) {
            // The roundest address of the stretch, else its end.
            const int end = std::min(map.last, map.holeStart + map.step);
            const int round = Roundest(map.lo + 1, end);
            probe = round >= 0 ? round : end;
        } else if (map.guess >= 0) {
            probe = map.guess;
        }
        return {probe, probe};
    }
    case MapDone:
        break;
    }
    return {};
}

void Add(RegisterMap& map, int first, int last, RangeStatus status)
{
    if (first > last)
        return;
    if (!map.ranges.empty() && map.ranges.back().status == status && map.ranges.back().last + 1 == first)
        map.ranges.back().last = last;
    else
        map.ranges.push_back({first, last, status});
    map.pos = last + 1;
    if (map.pos > map.last)
        map.phase = MapDone;
}

RangeStatus StatusOf(const ScanReply& reply)
{
    switch (reply.outcome.kind) {
    case OutcomeValid:
        return RangeReadable;
    case OutcomeInvalid:
        return RangeInvalid;
    case OutcomeException:
        break;
    default:  // no reply
        return RangeSilent;
    }
    switch (reply.outcome.exceptionCode) {
    case kExceptionIllegalAddress:
    case kExceptionIllegalValue:
        return RangeUnreadable;
    case kExceptionGatewayPath:
    case kExceptionGatewayTarget:
        return RangeAbsent;
    default:
        return RangeException;
    }
}

void Cover(RegisterMap& map)
{
    if (map.phase != MapDone)
        map.phase = MapCover;
}

// address is unreadable: look for where its hole ends.
void HoleStarts(RegisterMap& map, int address)
{
    Add(map, address, address, RangeUnreadable);
    if (map.phase == MapDone)
        return;
    map.phase = MapFindEnd;
    map.holeStart = address;
    map.lo = address;
    map.hi = -1;
    map.step = kFirstProbeStep;
    map.guess = -1;
}

void TakeCover(RegisterMap& map, Span read, RangeStatus status)
{
    if (status != RangeUnreadable) {
        Add(map, read.first, read.last, status);
        return;
    }
    if (read.first == read.last) {
        HoleStarts(map, read.first);
        return;
    }
    map.phase = MapFindStart;
    map.lo = read.first;
    map.hi = read.last;
    map.hiRefused = true;
    map.window = read.last - read.first + 1;
    // Blocks start at round addresses: the roundest one is tried first.
    map.guess = Roundest(read.first + 1, read.last);
}

void TakeFindStart(RegisterMap& map, Span read, RangeStatus status)
{
    if (status == RangeReadable) {
        Add(map, read.first, read.last, RangeReadable);
        map.lo = read.last + 1;
        map.hiRefused = false;
        if (map.lo > map.guess)
            map.guess = -1;  // the guessed address alone was answered: a miss
        if (map.lo > map.hi) {
            // Every part of the refused read was answered: it was refused for
            // its length.
            map.limit = std::min(map.limit, std::max(1, map.window / 2));
            Cover(map);
        }
        return;
    }
    if (status == RangeUnreadable) {
        map.hi = read.last;
        map.hiRefused = true;
        map.guess = -1;
        if (map.lo == map.hi)
            HoleStarts(map, map.lo);
        return;
    }
    // Nothing can be said of the window's addresses.
    Add(map, map.lo, map.hi, status);
    Cover(map);
}

void TakeFindEnd(RegisterMap& map, Span read, RangeStatus status)
{
    const int probe = read.first;
    const bool found = map.hi >= 0;
    map.guess = -1;
    if (status == RangeUnreadable) {
        map.lo = probe;
        if (!found && probe == map.last) {
            Add(map, map.holeStart + 1, map.last, RangeUnreadable);
            return;
        }
        if (!found)
            map.step *= 2;
    } else if (status == RangeReadable) {
        map.hi = probe;
        // The probe was the roundest address of its stretch: most likely the
        // hole ends right before it, which one probe settles.
        if (!found && probe - 1 > map.lo)
            map.guess = probe - 1;
    } else {
        // The search cannot go on: the hole is what has been seen of it, and
        // reading goes on after that.
        Add(map, map.holeStart + 1, map.lo, RangeUnreadable);
        Cover(map);
        return;
    }
    if (map.hi >= 0 && map.hi - map.lo <= 1) {
        Add(map, map.holeStart + 1, map.hi - 1, RangeUnreadable);
        map.pos = map.hi;
        Cover(map);
    }
}

}  // namespace

const char* MapTableName(MapTable table)
{
    switch (table) {
    case MapCoils:
        return "coils";
    case MapInputs:
        return "inputs";
    case MapInputRegisters:
        return "input-registers";
    case MapHoldingRegisters:
        return "holding-registers";
    }
    return "";
}

bool MapTableFromName(std::string_view name, MapTable* table)
{
    for (MapTable t : {MapCoils, MapInputs, MapInputRegisters, MapHoldingRegisters}) {
        if (name == MapTableName(t)) {
            *table = t;
            return true;
        }
    }
    return false;
}

uint8_t MapReadFunction(MapTable table)
{
    switch (table) {
    case MapCoils:
        return 1;
    case MapInputs:
        return 2;
    case MapInputRegisters:
        return 4;
    case MapHoldingRegisters:
        return 3;
    }
    return 0;
}

int MapReadLimit(MapTable table)
{
    return table == MapCoils || table == MapInputs ? 2000 : 125;
}

const char* RangeStatusName(RangeStatus status)
{
    switch (status) {
    case RangeReadable:
        return "readable";
    case RangeUnreadable:
        return "unreadable";
    case RangeException:
        return "exception";
    case RangeAbsent:
        return "absent";
    case RangeSilent:
        return "silent";
    case RangeInvalid:
        return "invalid";
    }
    return "";
}

RegisterMap StartRegisterMap(uint8_t unit, MapTable table, int first, int last)
{
    RegisterMap map;
    map.unit = unit;
    map.table = table;
    map.first = first;
    map.last = last;
    map.limit = MapReadLimit(table);
    map.pos = first;
    map.phase = first <= last ? MapCover : MapDone;
    return map;
}

bool NextMapRequest(const RegisterMap& map, ScanRequest* request)
{
    if (map.phase == MapDone)
        return false;
    const Span read = CurrentRead(map);
    *request = ScanRequest{};
    request->unit = map.unit;
    request->function = MapReadFunction(map.table);
    request->address = static_cast<uint16_t>(read.first);
    request->quantity = static_cast<uint16_t>(read.last - read.first + 1);
    return true;
}

void TakeMapReply(RegisterMap& map, const ScanReply& reply)
{
    const Span read = CurrentRead(map);
    const RangeStatus status = StatusOf(reply);
    switch (map.phase) {
    case MapCover:
        TakeCover(map, read, status);
        break;
    case MapFindStart:
        TakeFindStart(map, read, status);
        break;
    case MapFindEnd:
        TakeFindEnd(map, read, status);
        break;
    case MapDone:
        break;
    }
}
