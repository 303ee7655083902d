// The simulated device's quirks: which requests it answers, refuses or
// ignores, and its identification as the client's parser reads it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "modbus/device_id.h"
#include "modbus/pdu_sizes.h"
#include "sim/device_quirks.h"

namespace {

using Bytes = std::vector<uint8_t>;

SimOptions Options(std::vector<const char*> args)
{
    args.insert(args.begin(), "sorbel-sim");
    SimOptions options;
    EXPECT_EQ(ParseSimOptions(static_cast<int>(args.size()), args.data(), options), "");
    return options;
}

// A request of function with two 16-bit fields (a read or a single write),
// or a multiple write of quantity values.
Bytes Request(uint8_t unit, uint8_t function, uint16_t address, uint16_t quantity)
{
    Bytes r = {0,
               1,
               0,
               0,
               0,
               6,
               unit,
               function,
               uint8_t(address >> 8),
               uint8_t(address),
               uint8_t(quantity >> 8),
               uint8_t(quantity)};
    if (function == 15 || function == 16) {
        const int bytes = function == 16 ? 2 * quantity : (quantity + 7) / 8;
        r.push_back(static_cast<uint8_t>(bytes));
        r.resize(r.size() + static_cast<size_t>(bytes));
        r[5] = static_cast<uint8_t>(r.size() - 6);
    }
    return r;
}

Bytes Identify(uint8_t mei, uint8_t code, uint8_t object)
{
    return {kFunctionDeviceId, mei, code, object};
}

}  // namespace

TEST(DeviceQuirks, WhatIsServedRefusedOrIgnored)
{
    const SimOptions plain = Options({});
    const SimOptions units = Options({"--units", "1,7"});
    const SimOptions one = Options({"--unit", "5"});
    const SimOptions gateway = Options({"--gateway-absent", "3"});
    const SimOptions line = Options({"--rtu", "/dev/null", "--units", "1"});
    const SimOptions fc16 = Options({"--only-fc16"});
    const SimOptions capped = Options({"--max-registers", "100"});
    const SimOptions holes = Options({"--holes", "holding-registers:100-199,5/coils:0"});
    const struct {
        const char* what;
        const SimOptions& options;
        Bytes request;
        QuirkAction action;
        uint8_t code;
    } cases[] = {
        {"any unit", plain, Request(9, 3, 0, 1), QuirkAction::Serve, 0},
        {"a listed unit", units, Request(7, 3, 0, 1), QuirkAction::Serve, 0},
        {"an unlisted unit", units, Request(2, 3, 0, 1), QuirkAction::Ignore, 0},
        {"not the one unit", one, Request(1, 3, 0, 1), QuirkAction::Exception, 11},
        {"behind a gateway", gateway, Request(3, 3, 0, 1), QuirkAction::Exception, 11},
        {"beside it", gateway, Request(4, 3, 0, 1), QuirkAction::Serve, 0},
        {"an RTU broadcast", line, Request(0, 6, 0, 1), QuirkAction::Serve, 0},
        {"an RTU unit not on the line", line, Request(2, 6, 0, 1), QuirkAction::Ignore, 0},
        {"unknown function", plain, {0, 1, 0, 0, 0, 2, 1, 17}, QuirkAction::Exception, 1},
        {"short body", plain, {0, 1, 0, 0, 0, 4, 1, 3, 0, 0}, QuirkAction::Exception, 3},
        {"identification", plain, {0, 1, 0, 0, 0, 5, 1, 43, 14, 1, 0}, QuirkAction::Identify, 0},
        {"single register write", fc16, Request(1, 6, 0, 1), QuirkAction::Exception, 1},
        {"single coil write", fc16, Request(1, 5, 0, 0xFF00), QuirkAction::Exception, 1},
        {"multiple register write", fc16, Request(1, 16, 0, 1), QuirkAction::Serve, 0},
        {"multiple coil write", fc16, Request(1, 15, 0, 1), QuirkAction::Serve, 0},
        {"at the cap", capped, Request(1, 3, 0, 100), QuirkAction::Serve, 0},
        {"past the cap", capped, Request(1, 4, 0, 101), QuirkAction::Exception, 3},
        {"bits are not capped", capped, Request(1, 1, 0, 101), QuirkAction::Serve, 0},
        {"ends before a hole", holes, Request(1, 3, 90, 10), QuirkAction::Serve, 0},
        {"reaches into a hole", holes, Request(1, 3, 90, 11), QuirkAction::Exception, 2},
        {"a hole's last address", holes, Request(1, 3, 199, 1), QuirkAction::Exception, 2},
        {"after a hole", holes, Request(1, 3, 200, 125), QuirkAction::Serve, 0},
        {"a write into a hole", holes, Request(1, 16, 150, 2), QuirkAction::Exception, 2},
        {"another table", holes, Request(1, 4, 150, 1), QuirkAction::Serve, 0},
        {"a unit's own hole", holes, Request(5, 1, 0, 8), QuirkAction::Exception, 2},
        {"another unit's hole", holes, Request(6, 1, 0, 8), QuirkAction::Serve, 0},
    };
    for (const auto& c : cases) {
        const Quirk q = DecideQuirk(c.options, c.request.data(), static_cast<int>(c.request.size()));
        EXPECT_EQ(q.action, c.action) << c.what;
        EXPECT_EQ(q.exceptionCode, c.code) << c.what;
    }
}

TEST(DeviceQuirks, IdentificationAsTheClientReadsIt)
{
    const SimOptions none = Options({});
    const SimOptions short3 = Options({"--identity", "V;P;1.0"});
    const std::string vendor(200, 'A'), product(100, 'B');
    const std::string longText = vendor + ";" + product + ";1.0";
    const SimOptions long3 = Options({"--identity", longText.c_str()});
    const struct {
        const char* what;
        const SimOptions& options;
        Bytes request;
        uint8_t exception;
        std::vector<std::string> objects;  // ids from first
        int first;
        bool more;
        int next;
    } cases[] = {
        {"no identity", none, Identify(14, 1, 0), 1, {}, 0, false, 0},
        {"another MEI type", short3, Identify(13, 1, 0), 1, {}, 0, false, 0},
        {"unknown read code", short3, Identify(14, 5, 0), 3, {}, 0, false, 0},
        {"unknown single object", short3, Identify(14, 4, 3), 2, {}, 0, false, 0},
        {"all basic objects", short3, Identify(14, 1, 0), 0, {"V", "P", "1.0"}, 0, false, 0},
        {"from the second", short3, Identify(14, 1, 1), 0, {"P", "1.0"}, 1, false, 0},
        {"an unknown start restarts", short3, Identify(14, 2, 9), 0, {"V", "P", "1.0"}, 0, false, 0},
        {"one object", short3, Identify(14, 4, 2), 0, {"1.0"}, 2, false, 0},
        {"more than a reply holds", long3, Identify(14, 1, 0), 0, {vendor}, 0, true, 1},
        {"the rest", long3, Identify(14, 1, 1), 0, {product, "1.0"}, 1, false, 0},
    };
    for (const auto& c : cases) {
        uint8_t exception = 0xFF;
        const Bytes pdu = IdentityReplyPdu(c.options, c.request.data(), static_cast<int>(c.request.size()), &exception);
        EXPECT_EQ(exception, c.exception) << c.what;
        if (c.exception != 0) {
            EXPECT_TRUE(pdu.empty()) << c.what;
            continue;
        }
        DeviceIdReply reply;
        ASSERT_TRUE(ParseDeviceIdReply(pdu.data(), static_cast<int>(pdu.size()), &reply)) << c.what;
        EXPECT_LE(pdu.size(), static_cast<size_t>(kMaxPduLength)) << c.what;
        EXPECT_EQ(reply.readCode, c.request[2]) << c.what;
        EXPECT_EQ(reply.conformity, 0x81) << c.what;
        EXPECT_EQ(reply.moreFollows, c.more) << c.what;
        EXPECT_EQ(reply.nextObjectId, c.next) << c.what;
        ASSERT_EQ(reply.objects.size(), c.objects.size()) << c.what;
        for (size_t i = 0; i < c.objects.size(); i++) {
            EXPECT_EQ(reply.objects[i].id, c.first + static_cast<int>(i)) << c.what;
            EXPECT_EQ(reply.objects[i].value, c.objects[i]) << c.what;
        }
    }
    // The whole reply, byte for byte.
    uint8_t exception = 0;
    const Bytes request = Identify(14, 1, 0);
    EXPECT_EQ(IdentityReplyPdu(short3, request.data(), 4, &exception),
              (Bytes{43, 14, 1, 0x81, 0, 0, 3, 0, 1, 'V', 1, 1, 'P', 2, 3, '1', '.', '0'}));
}
