// The register map over scripted devices: the ranges it finds, that every
// read stays within the table's limit, and how many reads it takes.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "modbus/register_map.h"

namespace {

struct Span {
    int first, last;
};

// A device: addresses that do not exist (exception 02 to any read touching
// them), a longest read it takes (exception 03 past it), and addresses
// that make it fall silent.
struct Device {
    std::vector<Span> holes;
    int cap = 2000;
    std::vector<Span> silent;
    uint8_t refuseAll = 0;  // every read refused with this exception
};

Device Holes(std::vector<Span> holes)
{
    Device d;
    d.holes = std::move(holes);
    return d;
}

Device Capped(int cap)
{
    Device d;
    d.cap = cap;
    return d;
}

Device SilentAt(Span span)
{
    Device d;
    d.silent = {span};
    return d;
}

Device Refusing(uint8_t code)
{
    Device d;
    d.refuseAll = code;
    return d;
}

bool Touches(const std::vector<Span>& spans, int first, int last)
{
    for (const Span& s : spans)
        if (first <= s.last && last >= s.first)
            return true;
    return false;
}

struct MapRun {
    std::vector<MapRange> list;
    std::string ranges;  // "0-99 readable, 100-199 unreadable, ..."
    int requests = 0;
    int longest = 0;
};

MapRun Map(MapTable table, int first, int last, const Device& device)
{
    RegisterMap map = StartRegisterMap(7, table, first, last);
    MapRun run;
    ScanRequest request;
    while (run.requests < 100000 && NextMapRequest(map, &request)) {
        run.requests++;
        EXPECT_EQ(request.unit, 7);
        EXPECT_EQ(request.function, MapReadFunction(table));
        const int a = request.address, b = request.address + request.quantity - 1;
        EXPECT_GE(a, first);
        EXPECT_LE(b, last);
        run.longest = std::max(run.longest, static_cast<int>(request.quantity));
        ScanReply reply;
        reply.outcome.kind = OutcomeException;
        if (device.refuseAll)
            reply.outcome.exceptionCode = device.refuseAll;
        else if (Touches(device.silent, a, b))
            reply.outcome.kind = OutcomeTimeout;
        else if (request.quantity > device.cap)
            reply.outcome.exceptionCode = 3;
        else if (Touches(device.holes, a, b))
            reply.outcome.exceptionCode = 2;
        else
            reply.outcome.kind = OutcomeValid;
        TakeMapReply(map, reply);
    }
    // In address order, end to end, neighbours of one status joined.
    int next = first;
    for (size_t i = 0; i < map.ranges.size(); i++) {
        const MapRange& r = map.ranges[i];
        EXPECT_EQ(r.first, next);
        EXPECT_LE(r.first, r.last);
        EXPECT_TRUE(i == 0 || map.ranges[i - 1].status != r.status);
        next = r.last + 1;
        run.ranges += (run.ranges.empty() ? "" : ", ") + std::to_string(r.first) + "-" + std::to_string(r.last) + " " +
                      RangeStatusName(r.status);
    }
    EXPECT_EQ(next, last + 1);
    run.list = map.ranges;
    return run;
}

}  // namespace

TEST(RegisterMap, FindsHolesAndTheirEnds)
{
    const struct {
        const char* what;
        MapTable table;
        int first, last;
        Device device;
        std::string ranges;
        int maxRequests;
    } cases[] = {
        {"all readable", MapHoldingRegisters, 0, 999, Device{}, "0-999 readable", 8},
        {"two holes", MapHoldingRegisters, 0, 9999, Holes({{100, 199}, {5000, 5004}}),
         "0-99 readable, 100-199 unreadable, 200-4999 readable, 5000-5004 unreadable, 5005-9999 readable", 99},
        {"a hole at each end", MapInputRegisters, 0, 999, Holes({{0, 9}, {990, 999}}),
         "0-9 unreadable, 10-989 readable, 990-999 unreadable", 40},
        {"one address", MapHoldingRegisters, 0, 999, Holes({{500, 500}}),
         "0-499 readable, 500-500 unreadable, 501-999 readable", 25},
        {"two holes close together", MapHoldingRegisters, 0, 299, Holes({{100, 109}, {120, 129}}),
         "0-99 readable, 100-109 unreadable, 110-119 readable, 120-129 unreadable, 130-299 readable", 40},
        {"a long hole", MapHoldingRegisters, 0, 65535, Holes({{1000, 60999}}),
         "0-999 readable, 1000-60999 unreadable, 61000-65535 readable", 90},
        {"coils, 2000 a read", MapCoils, 0, 9999, Holes({{3000, 3009}}),
         "0-2999 readable, 3000-3009 unreadable, 3010-9999 readable", 30},
        {"a single address asked", MapInputs, 7, 7, Holes({{7, 7}}), "7-7 unreadable", 1},
        {"a device that reads at most 100", MapHoldingRegisters, 0, 999, Capped(100), "0-999 readable", 30},
        {"silent in the middle", MapHoldingRegisters, 0, 999, SilentAt({550, 560}),
         "0-499 readable, 500-624 silent, 625-999 readable", 8},
        {"table not served", MapInputRegisters, 0, 299, Refusing(1), "0-299 exception", 3},
        {"gateway with nothing behind", MapCoils, 0, 99, Refusing(0x0B), "0-99 absent", 1},
    };
    for (const auto& c : cases) {
        const MapRun run = Map(c.table, c.first, c.last, c.device);
        EXPECT_EQ(run.ranges, c.ranges) << c.what;
        EXPECT_LE(run.requests, c.maxRequests) << c.what;
        EXPECT_LE(run.longest, MapReadLimit(c.table)) << c.what;
    }
}

TEST(RegisterMap, NeverCallsReadableWhatWasNotRead)
{
    // Devices of random holes, read limits and silent spots: whatever the map
    // makes of them, a readable range holds no hole and no silent address,
    // an unreadable one starts and ends in a hole, and the map ends.
    std::mt19937 random(20261208);
    auto pick = [&random](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    for (int round = 0; round < 300; round++) {
        const int last = pick(0, 3000);
        Device device = Capped(pick(0, 3) == 0 ? pick(1, 124) : 2000);
        for (int h = pick(0, 4); h > 0; h--) {
            const int first = pick(0, last);
            device.holes.push_back({first, std::min(last, first + pick(0, pick(0, 1) ? 5 : 300))});
        }
        if (pick(0, 9) == 0) {
            const int first = pick(0, last);
            device.silent.push_back({first, first});
        }
        const MapRun run = Map(MapHoldingRegisters, 0, last, device);
        EXPECT_LE(run.requests, 2 * (last + 1) + 20) << round;
        for (const MapRange& r : run.list) {
            const bool missing = Touches(device.holes, r.first, r.last) || Touches(device.silent, r.first, r.last);
            EXPECT_TRUE(r.status != RangeReadable || !missing) << round << ": " << run.ranges;
            const bool endsInHoles = Touches(device.holes, r.first, r.first) && Touches(device.holes, r.last, r.last);
            EXPECT_TRUE(r.status != RangeUnreadable || endsInHoles) << round << ": " << run.ranges;
        }
    }
}

TEST(RegisterMap, TableNames)
{
    MapTable table = MapCoils;
    EXPECT_TRUE(MapTableFromName("input-registers", &table));
    EXPECT_EQ(table, MapInputRegisters);
    EXPECT_EQ(MapReadFunction(table), 4);
    EXPECT_FALSE(MapTableFromName("holding", &table));
    EXPECT_EQ(table, MapInputRegisters);
    EXPECT_STREQ(MapTableName(MapInputs), "inputs");
    EXPECT_EQ(MapReadLimit(MapCoils), 2000);
}
