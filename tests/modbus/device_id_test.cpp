// Read Device Identification: the request, the object list bounded by its
// frame, and the basic objects gathered over replies that say more follow.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "modbus/device_id.h"
#include "modbus/pdu_sizes.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A reply PDU: its header, then the objects as they are listed.
Bytes Reply(uint8_t more, uint8_t next, const std::vector<std::pair<uint8_t, std::string>>& objects)
{
    Bytes pdu = {43, 14, 1, 0x81, more, next, static_cast<uint8_t>(objects.size())};
    for (const auto& [id, value] : objects) {
        pdu.push_back(id);
        pdu.push_back(static_cast<uint8_t>(value.size()));
        pdu.insert(pdu.end(), value.begin(), value.end());
    }
    return pdu;
}

DeviceIdReply Parsed(const Bytes& pdu)
{
    DeviceIdReply reply;
    EXPECT_TRUE(ParseDeviceIdReply(pdu.data(), static_cast<int>(pdu.size()), &reply));
    return reply;
}

}  // namespace

TEST(DeviceId, RequestAndObjectList)
{
    uint8_t out[kDeviceIdRequestLength + 1] = {};
    out[kDeviceIdRequestLength] = 0xAA;
    EXPECT_EQ(BuildDeviceIdRequest(out, 0x11234, 300, kReadIdBasic, 2), kDeviceIdRequestLength);
    EXPECT_EQ(Bytes(out, out + 12), (Bytes{0x12, 0x34, 0, 0, 0, 5, 0x2C, 43, 14, 1, 2, 0xAA}));

    // The length is told once each object's length byte is there.
    const Bytes two = Reply(0, 0, {{0, "AB"}, {1, ""}});
    ASSERT_EQ(two.size(), 13u);
    for (int have = 0; have < 13; have++)
        EXPECT_EQ(DeviceIdPduLength(two.data(), have), 0) << have;
    EXPECT_EQ(DeviceIdPduLength(two.data(), 13), 13);
    EXPECT_EQ(DeviceIdPduLength(Reply(0, 0, {}).data(), 7), 7);
    EXPECT_EQ(DeviceIdPduLength(Bytes{3}.data(), 1), -1);
    EXPECT_EQ(DeviceIdPduLength(Bytes{43, 13}.data(), 2), -1);
    // Two objects of 200 bytes cannot be in one PDU of 253.
    const Bytes tooLong = Reply(0, 0, {{0, std::string(200, 'x')}, {1, std::string(200, 'y')}});
    EXPECT_EQ(DeviceIdPduLength(tooLong.data(), static_cast<int>(tooLong.size())), -1);
    const Bytes manyListed = {43, 14, 1, 0x81, 0, 0, 255, 0, 0};
    EXPECT_EQ(DeviceIdPduLength(manyListed.data(), 9), 0);

    const DeviceIdReply reply = Parsed(Reply(0xFF, 2, {{0, "Sorbel"}, {1, "SIM-1"}}));
    EXPECT_TRUE(reply.moreFollows);
    EXPECT_EQ(reply.nextObjectId, 2);
    EXPECT_EQ(reply.conformity, 0x81);
    ASSERT_EQ(reply.objects.size(), 2u);
    EXPECT_EQ(reply.objects[1].id, 1);
    EXPECT_EQ(reply.objects[1].value, "SIM-1");
    EXPECT_TRUE(Parsed(Reply(1, 1, {})).moreFollows);
    // Bytes past the list, or a list past the bytes, are not a reply.
    Bytes padded = two;
    padded.push_back(0);
    DeviceIdReply ignored;
    EXPECT_FALSE(ParseDeviceIdReply(padded.data(), 14, &ignored));
    EXPECT_FALSE(ParseDeviceIdReply(two.data(), 12, &ignored));
    EXPECT_FALSE(ParseDeviceIdReply(two.data(), 0, &ignored));
}

TEST(DeviceId, CollectingTheBasicObjects)
{
    const struct {
        const char* what;
        std::vector<Bytes> replies;  // one per request, in order
        int requests;                // replies taken before done
        std::vector<uint8_t> asked;  // object id of each request
        std::array<std::string, 3> texts;
    } cases[] = {
        {"all in one", {Reply(0, 0, {{0, "V"}, {1, "P"}, {2, "R"}})}, 1, {0}, {"V", "P", "R"}},
        {"one per reply",
         {Reply(0xFF, 1, {{0, "V"}}), Reply(0xFF, 2, {{1, "P"}}), Reply(0, 0, {{2, "R"}})},
         3,
         {0, 1, 2},
         {"V", "P", "R"}},
        {"more follows past the basic ones", {Reply(0xFF, 3, {{0, "V"}, {1, "P"}, {2, "R"}})}, 1, {0}, {"V", "P", "R"}},
        {"no more, one missing", {Reply(0, 0, {{0, "V"}, {2, "R"}})}, 1, {0}, {"V", "", "R"}},
        {"pointing back", {Reply(0xFF, 1, {{0, "V"}}), Reply(0xFF, 1, {})}, 2, {0, 1}, {"V", "", ""}},
        {"objects out of order, a duplicate and a stranger",
         {Reply(0, 0, {{2, "R"}, {0, "V"}, {0, "W"}, {7, "X"}, {1, "P"}})},
         1,
         {0},
         {"V", "P", "R"}},
    };
    for (const auto& c : cases) {
        DeviceIdCollection collection;
        std::vector<uint8_t> asked;
        for (const Bytes& pdu : c.replies) {
            if (collection.done)
                break;
            asked.push_back(collection.nextObjectId);
            TakeDeviceIdReply(collection, Parsed(pdu));
        }
        EXPECT_TRUE(collection.done) << c.what;
        EXPECT_EQ(collection.requests, c.requests) << c.what;
        EXPECT_EQ(asked, c.asked) << c.what;
        EXPECT_EQ(collection.texts, c.texts) << c.what;
    }
}
