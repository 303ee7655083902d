#include <gtest/gtest.h>

#include <string>

#include "common/table_numbers.h"
#include "dataview/value_views.h"

namespace {

struct WordCase {
    uint8_t bytes[2];
    const char *unsigned16, *signed16, *hex, *binary;
};

// Wire bytes A B C D, and what each order makes of them.
struct PairCase {
    uint8_t bytes[4];
    const char* order;
    const char *unsigned32, *signed32, *float32;
};

PairViews InOrder(const uint8_t bytes[4], const std::string& order)
{
    for (const PairViews& v : ViewPair(bytes))
        if (v.order == order)
            return v;
    ADD_FAILURE() << "no order " << order;
    return {};
}

}  // namespace

TEST(ValueViews, OneRegisterEveryWay)
{
    const WordCase cases[] = {
        {{0x00, 0x00}, "0", "0", "0x0000", "0000 0000 0000 0000"},
        {{0xFF, 0xFF}, "65535", "-1", "0xFFFF", "1111 1111 1111 1111"},
        {{0x80, 0x00}, "32768", "-32768", "0x8000", "1000 0000 0000 0000"},
        {{0x3F, 0x80}, "16256", "16256", "0x3F80", "0011 1111 1000 0000"},
    };
    for (const WordCase& c : cases) {
        const WordViews v = ViewWord(c.bytes);
        EXPECT_EQ(v.unsigned16, c.unsigned16);
        EXPECT_EQ(v.signed16, c.signed16);
        EXPECT_EQ(v.hex, c.hex);
        EXPECT_EQ(v.binary, c.binary);
    }
}

TEST(ValueViews, TwoRegistersInEachOrder)
{
    const PairCase cases[] = {
        // 0x12345678 laid out on the wire for each order in turn.
        {{0x12, 0x34, 0x56, 0x78}, "ABCD", "305419896", "305419896", "5.6904566e-28"},
        {{0x56, 0x78, 0x12, 0x34}, "CDAB", "305419896", "305419896", "5.6904566e-28"},
        {{0x34, 0x12, 0x78, 0x56}, "BADC", "305419896", "305419896", "5.6904566e-28"},
        {{0x78, 0x56, 0x34, 0x12}, "DCBA", "305419896", "305419896", "5.6904566e-28"},
        // Floats: 1.0f = 3F80 0000, -2.5f = C020 0000, the special values.
        {{0x3F, 0x80, 0x00, 0x00}, "ABCD", "1065353216", "1065353216", "1"},
        {{0x00, 0x00, 0x3F, 0x80}, "CDAB", "1065353216", "1065353216", "1"},
        {{0x80, 0x3F, 0x00, 0x00}, "BADC", "1065353216", "1065353216", "1"},
        {{0x00, 0x00, 0x80, 0x3F}, "DCBA", "1065353216", "1065353216", "1"},
        {{0xC0, 0x20, 0x00, 0x00}, "ABCD", "3223322624", "-1071644672", "-2.5"},
        {{0x00, 0x00, 0x20, 0xC0}, "DCBA", "3223322624", "-1071644672", "-2.5"},
        {{0x3D, 0xCC, 0xCC, 0xCD}, "ABCD", "1036831949", "1036831949", "0.1"},
        {{0x7F, 0xC0, 0x00, 0x00}, "ABCD", "2143289344", "2143289344", "NaN"},
        {{0xFF, 0xC0, 0x00, 0x01}, "ABCD", "4290772993", "-4194303", "NaN"},
        {{0x7F, 0x80, 0x00, 0x00}, "ABCD", "2139095040", "2139095040", "Infinity"},
        {{0xFF, 0x80, 0x00, 0x00}, "ABCD", "4286578688", "-8388608", "-Infinity"},
        {{0x00, 0x00, 0x00, 0x01}, "ABCD", "1", "1", "1e-45"},
    };
    for (const PairCase& c : cases) {
        const PairViews v = InOrder(c.bytes, c.order);
        EXPECT_EQ(v.unsigned32, c.unsigned32) << c.order << " " << c.float32;
        EXPECT_EQ(v.signed32, c.signed32) << c.order << " " << c.float32;
        EXPECT_EQ(v.float32, c.float32) << c.order << " " << c.unsigned32;
    }
}

TEST(ValueViews, OnlyATextExactlyAsItsFormatWritesItIsRead)
{
    EXPECT_EQ(ShownRegisterValue("00AF", FormatHex), 0x00AF);
    EXPECT_EQ(ShownRegisterValue("0000000000000101", FormatBinary), 5);
    EXPECT_EQ(ShownRegisterValue("65535", FormatDecimal), 65535);
    EXPECT_EQ(ShownRegisterValue("0", -1), 0);
    // Texts another format left behind, or no value at all.
    for (const auto& [text, format] :
         std::initializer_list<std::pair<const char*, int>>{{"175", FormatHex},
                                                            {"00af", FormatHex},
                                                            {"00AF", FormatDecimal},
                                                            {"0101", FormatBinary},
                                                            {"0000000000000101", FormatHex},
                                                            {"-1", FormatDecimal},
                                                            {"0175", FormatDecimal},
                                                            {"", FormatDecimal},
                                                            {" 12", FormatDecimal}})
        EXPECT_EQ(ShownRegisterValue(text, format), std::nullopt) << text << " in " << format;
}
