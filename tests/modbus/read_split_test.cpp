// A table read in as many requests as a device takes.
#include <gtest/gtest.h>

#include <vector>

#include "modbus/read_split.h"

namespace {

struct Expected {
    int64_t address, quantity, firstRow;
};

std::vector<Expected> Parts(int64_t address, int64_t quantity, int64_t limit)
{
    const ReadSplit split = SplitRead(address, quantity, limit);
    std::vector<Expected> parts;
    for (int64_t i = 0; i < split.parts; i++) {
        const ReadPart part = PartOf(split, i);
        parts.push_back({part.address, part.quantity, part.firstRow});
    }
    return parts;
}

bool operator==(const Expected& a, const Expected& b)
{
    return a.address == b.address && a.quantity == b.quantity && a.firstRow == b.firstRow;
}

}  // namespace

TEST(ReadSplit, PartsInAddressOrderWithinTheLimitAndTheAddressRange)
{
    const struct {
        const char* what;
        int64_t address, quantity, limit;
        std::vector<Expected> parts;
        int64_t firstRow, endRow;
    } cases[] = {
        {"fits: one request as ever", 1, 125, 125, {{1, 125, 0}}, 0, 125},
        {"fits even where it runs past 65535", 65500, 100, 125, {{65500, 100, 0}}, 0, 100},
        {"offset address -1 of a table that fits stays as it was", -1, 10, 125, {{-1, 10, 0}}, 0, 10},
        {"no rows", 7, 0, 125, {{7, 0, 0}}, 0, 0},
        {"125 at 100", 1, 125, 100, {{1, 100, 0}, {101, 25, 100}}, 0, 125},
        {"exact multiple", 0, 300, 100, {{0, 100, 0}, {100, 100, 100}, {200, 100, 200}}, 0, 300},
        {"limit 1", 10, 3, 1, {{10, 1, 0}, {11, 1, 1}, {12, 1, 2}}, 0, 3},
        {"limit below 1 counts as 1", 10, 2, 0, {{10, 1, 0}, {11, 1, 1}}, 0, 2},
        {"ends at 65535", 65400, 200, 125, {{65400, 125, 0}, {65525, 11, 125}}, 0, 136},
        {"last address exactly 65535", 65336, 200, 100, {{65336, 100, 0}, {65436, 100, 100}}, 0, 200},
        {"starts past 65535", 70000, 200, 100, {}, 0, 0},
        {"offset start -1 is not asked for", -1, 201, 100, {{0, 100, 1}, {100, 100, 101}}, 1, 201},
        {"bits", 0, 4000, 2000, {{0, 2000, 0}, {2000, 2000, 2000}}, 0, 4000},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Parts(c.address, c.quantity, c.limit), c.parts) << c.what;
        const ReadSplit split = SplitRead(c.address, c.quantity, c.limit);
        EXPECT_EQ(split.firstRow, c.firstRow) << c.what;
        EXPECT_EQ(split.endRow, c.endRow) << c.what;
    }
}

TEST(ReadSplit, PartValuesLandWhereOneReplyWouldHaveThem)
{
    // Registers: two bytes each, at the part's first row.
    std::vector<uint8_t> table(8, 0xEE);
    const uint8_t registers[] = {0x12, 0x34, 0x56, 0x78, 0x9A};
    PlacePartValues(false, registers, 5, {0, 2, 1}, table.data(), 8);
    EXPECT_EQ(table, (std::vector<uint8_t>{0xEE, 0xEE, 0x12, 0x34, 0x56, 0x78, 0xEE, 0xEE}));
    // A short reply gives only what it holds; nothing lands past the table.
    PlacePartValues(false, registers, 3, {0, 4, 3}, table.data(), 8);
    EXPECT_EQ(table, (std::vector<uint8_t>{0xEE, 0xEE, 0x12, 0x34, 0x56, 0x78, 0x12, 0x34}));

    // Bits: from bit firstRow on, across a byte boundary, set and cleared.
    std::vector<uint8_t> bits(2, 0x00);
    const uint8_t part[] = {0b0000'0101};  // rows 0 and 2 of the part set
    PlacePartValues(true, part, 1, {0, 3, 7}, bits.data(), 2);
    EXPECT_EQ(bits, (std::vector<uint8_t>{0x80, 0x02}));
    const uint8_t none[] = {0x00};
    PlacePartValues(true, none, 1, {0, 3, 7}, bits.data(), 2);
    EXPECT_EQ(bits, (std::vector<uint8_t>{0x00, 0x00}));
    PlacePartValues(true, part, 1, {0, 8, 14}, bits.data(), 2);  // rows 16.. lie past the table
    EXPECT_EQ(bits, (std::vector<uint8_t>{0x00, 0x40}));
}
