// The one table of PDU sizes: per function and quantity, and as a PDU's
// own bytes tell it.
#include <gtest/gtest.h>

#include <vector>

#include "common/table_numbers.h"
#include "modbus/pdu_sizes.h"

namespace {

using Bytes = std::vector<uint8_t>;

}  // namespace

TEST(PduSizes, PerFunctionAndQuantity)
{
    const struct {
        int function;
        int quantity;
        int request;
        int reply;
        int longest;
        bool read;
        bool write;
    } cases[] = {
        {1, 10, 5, 4, 4, true, false},        // ten coils: two bytes
        {2, 2000, 5, 252, 252, true, false},  // the most bits a read may ask for
        {3, 125, 5, 252, 252, true, false},
        {4, 1, 5, 4, 4, true, false},
        {3, 200, 5, 402, 257, true, false},  // no reply can carry it: 255 bytes announced at most
        {5, 1, 5, 5, 5, false, true},
        {6, 1, 5, 5, 5, false, true},
        {15, 9, 8, 5, 5, false, true},  // nine coils: two bytes
        {16, 4, 14, 5, 5, false, true},
        {43, 0, 4, -1, kMaxPduLength, false, false},
        {17, 1, 0, -1, kMaxPduLength, false, false},  // not in the table
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RequestPduLength(c.function, c.quantity), c.request) << c.function << " " << c.quantity;
        EXPECT_EQ(ReplyPduLength(c.function, c.quantity), c.reply) << c.function << " " << c.quantity;
        EXPECT_EQ(LongestReplyPdu(c.function, c.quantity), c.longest) << c.function << " " << c.quantity;
        EXPECT_EQ(IsReadFunction(c.function), c.read) << c.function;
        EXPECT_EQ(IsWriteFunction(c.function), c.write) << c.function;
    }
    const int readOf[] = {0, 2, 1, 4, 3, 0};
    for (int table = 0; table <= 5; table++)
        EXPECT_EQ(ReadFunctionCode(table), readOf[table]) << table;
    EXPECT_EQ(FunctionSizesOf(15).table, TableCoils);
    EXPECT_EQ(FunctionSizesOf(6).table, TableHoldingRegisters);
}

TEST(PduSizes, AsThePdusOwnBytesTellIt)
{
    const struct {
        const char* what;
        Bytes pdu;
        int request;  // 0: more needed to tell; -1: unknown
        int reply;
    } cases[] = {
        {"nothing yet", {}, 0, 0},
        {"a read", {3, 6}, 5, 8},
        {"a read before its byte count", {3}, 5, 0},
        {"multiple registers by their byte count", {16, 0, 1, 0, 2, 4}, 10, 5},
        {"multiple coils before their byte count", {15, 0, 1, 0}, 0, 5},
        {"an exception", {0x83}, -1, 2},
        {"an identification", {43, 14, 1, 0x81, 0, 0, 0}, 4, 7},
        {"an unknown function", {17, 0}, -1, -1},
    };
    for (const auto& c : cases) {
        const int n = static_cast<int>(c.pdu.size());
        EXPECT_EQ(RequestPduLengthOf(c.pdu.data(), n), c.request) << c.what;
        EXPECT_EQ(ReplyPduLengthOf(c.pdu.data(), n), c.reply) << c.what;
    }
}
