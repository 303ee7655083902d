#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "dataview/value_formats.h"
#include "modbus/frames.h"

namespace {

using Texts = std::vector<std::string>;

// The values of a read reply, exactly their size on the heap, so a read
// past their end is a sanitizer error rather than a quiet look at stale
// bytes.
struct Response {
    std::unique_ptr<uint8_t[]> bytes;
    int size;
};

Response MakeResponse(const std::vector<uint8_t>& data)
{
    Response r{std::make_unique<uint8_t[]>(data.size() + 1), static_cast<int>(data.size())};
    if (!data.empty())
        std::memcpy(r.bytes.get(), data.data(), data.size());
    return r;
}

// Every row asked for, "" for those without a value.
Texts AllRows(const DecodedValues& decoded)
{
    Texts texts = decoded.texts;
    EXPECT_LE(static_cast<int64_t>(texts.size()), decoded.rows);
    texts.resize(static_cast<size_t>(decoded.rows));
    return texts;
}

Texts Decode(int table, const Response& r, int64_t quantity, int format, int64_t rowLimit = kMaxDataRows)
{
    return AllRows(DecodeReadValues(table, r.bytes.get(), r.size, quantity, format, rowLimit));
}

Texts Labels(int table, int64_t start, int rows)
{
    Texts texts;
    for (int r = 0; r < rows; r++)
        texts.push_back(TableLabel(table, start, r));
    return texts;
}

}  // namespace

TEST(ValueFormats, LabelsCarryTheReferencePrefixes)
{
    EXPECT_EQ(Labels(1, 1, 3), (Texts{"10001", "10002", "10003"}));
    EXPECT_EQ(Labels(2, 1, 3), (Texts{"0001", "0002", "0003"}));
    EXPECT_EQ(Labels(3, 1, 3), (Texts{"30001", "30002", "30003"}));
    EXPECT_EQ(Labels(4, 1, 3), (Texts{"40001", "40002", "40003"}));

    EXPECT_EQ(TableLabel(1, 100, 0), "10100");
    EXPECT_EQ(TableLabel(2, 100, 0), "0100");
    EXPECT_EQ(TableLabel(4, 100, 0), "40100");
    EXPECT_EQ(TableLabel(2, 0, 0), "0000");
    // From 10000 on, six digits: nothing cut, no table running into another.
    EXPECT_EQ(Labels(2, 9999, 2), (Texts{"9999", "010000"}));
    EXPECT_EQ(Labels(1, 9999, 2), (Texts{"19999", "110000"}));
    EXPECT_EQ(TableLabel(2, 12345, 0), "012345");
    EXPECT_EQ(TableLabel(3, 12345, 0), "312345");
    EXPECT_EQ(TableLabel(4, 12345, 0), "412345");
    EXPECT_EQ(TableLabel(4, 65535, 0), "465535");
}

TEST(ValueFormats, LengthGivesABoundedRowCount)
{
    EXPECT_EQ(ListRowsForLength(-5), 0);
    EXPECT_EQ(ListRowsForLength(0), 0);
    EXPECT_EQ(ListRowsForLength(65535), 65535);
    EXPECT_EQ(ListRowsForLength(2000000000), 65535);
}

TEST(ValueFormats, BitsAreTakenLeastSignificantFirst)
{
    EXPECT_EQ(Decode(2, MakeResponse({0x05}), 3, 1), (Texts{"1", "0", "1"}));
    EXPECT_EQ(Decode(1, MakeResponse({0x05, 0x02}), 10, 1), (Texts{"1", "0", "1", "0", "0", "0", "0", "0", "0", "1"}));
}

TEST(ValueFormats, RegistersAreBigEndianAndNeverSigned)
{
    const Response fffe = MakeResponse({0xFF, 0xFE});
    EXPECT_EQ(Decode(4, fffe, 1, 1), (Texts{"1111111111111110"}));
    EXPECT_EQ(Decode(4, fffe, 1, 2), (Texts{"FFFE"}));
    EXPECT_EQ(Decode(3, fffe, 1, 3), (Texts{"65534"}));

    const Response zero = MakeResponse({0x00, 0x00});
    EXPECT_EQ(Decode(3, zero, 1, 1), (Texts{"0000000000000000"}));
    EXPECT_EQ(Decode(3, zero, 1, 2), (Texts{"0000"}));
    EXPECT_EQ(Decode(4, zero, 1, 3), (Texts{"0"}));

    EXPECT_EQ(RegisterText(5, 1), "0000000000000101");
    EXPECT_EQ(RegisterText(175, 2), "00AF");
    // A selector with nothing chosen still polls; its values read as Decimal.
    EXPECT_EQ(RegisterText(0x1234, -1), "4660");
}

TEST(ValueFormats, RowsWithoutReceivedDataAreBlank)
{
    // Ten registers asked for, two answered.
    Texts regs = Decode(4, MakeResponse({0x00, 0x01, 0x00, 0x02}), 10, 3);
    ASSERT_EQ(regs.size(), 10u);
    EXPECT_EQ(regs[0], "1");
    EXPECT_EQ(regs[1], "2");
    for (size_t r = 2; r < 10; r++)
        EXPECT_EQ(regs[r], "") << r;

    // An odd trailing byte is half a register: no value.
    EXPECT_EQ(Decode(3, MakeResponse({0x00, 0x07, 0x01}), 2, 3), (Texts{"7", ""}));

    // Twenty coils asked for, one byte answered.
    Texts bits = Decode(2, MakeResponse({0xFF}), 20, 1);
    ASSERT_EQ(bits.size(), 20u);
    EXPECT_EQ(bits[7], "1");
    EXPECT_EQ(bits[8], "");
    EXPECT_EQ(bits[19], "");

    // A response of header only holds nothing.
    EXPECT_EQ(Decode(4, MakeResponse({}), 2, 3), (Texts{"", ""}));
}

TEST(ValueFormats, NothingBeyondTheValuesIsRead)
{
    // 300 registers asked for, 251 and a half answered.
    std::vector<uint8_t> data(503);
    for (size_t i = 0; i < data.size(); i++)
        data[i] = static_cast<uint8_t>(i + 9);
    Texts regs = Decode(4, MakeResponse(data), 300, 2);
    ASSERT_EQ(regs.size(), 300u);
    EXPECT_EQ(regs[0], "090A");
    EXPECT_EQ(regs[250], "FDFE");
    EXPECT_EQ(regs[251], "");
    EXPECT_EQ(regs[299], "");
}

TEST(ValueFormats, RowCountFollowsQuantityAndLimit)
{
    const Response r = MakeResponse({0x00, 0x01, 0x00, 0x02});
    EXPECT_TRUE(Decode(4, r, -1, 3).empty());
    EXPECT_TRUE(Decode(4, r, 0, 3).empty());
    EXPECT_EQ(Decode(4, r, 100, 3, 1), (Texts{"1"}));
    EXPECT_TRUE(Decode(7, r, 2, 3) == (Texts{"", ""}));
}

TEST(ValueFormats, TypedTextsBecomeWriteValuesOnlyWhenWhollyA16BitNumber)
{
    struct Case {
        const char* text;
        int format;
        int expected;  // -1: refused
    };
    const Case cases[] = {
        {"1F", 2, 31},
        {" 00ff\t", 2, 255},
        {"FFFF", 2, 65535},
        {"10000", 2, -1},
        {"0x1F", 2, -1},
        {"$1F", 2, -1},
        {"-1", 2, -1},
        {"1F G", 2, -1},
        {"101", 1, 5},
        {"102", 1, -1},
        {"1111111111111111", 1, 65535},
        {"00000000000000001", 1, -1},
        {"-1", 3, 65535},
        {"-32768", 3, 32768},
        {"-32769", 3, -1},
        {"65535", 3, 65535},
        {"65536", 3, -1},
        {"100000", 3, -1},
        {" +42 ", 3, 42},
        {"$10", 3, 16},
        {"%11", 3, 3},
        {"$FFFF", 3, 65535},
        {"$10000", 3, -1},
        {"-$8000", 3, 32768},
        {"12abc", 3, -1},
        {"1 2", 3, -1},
        {"18446744073709551617", 3, -1},
        {"7", -1, 7},
    };
    for (const Case& c : cases) {
        const std::optional<uint16_t> value = RegisterValueFromText(c.text, c.format);
        EXPECT_EQ(value ? int{*value} : -1, c.expected) << '"' << c.text << "\" format " << c.format;
    }
    for (const char* nothing : {"", " ", "xyz", "$", "%", "-", "+"})
        for (int format : {1, 2, 3})
            EXPECT_FALSE(RegisterValueFromText(nothing, format)) << '"' << nothing << "\" format " << format;

    EXPECT_EQ(CoilValueFromText("0"), 0);
    for (const char* on : {"1", "", "00", "x"})
        EXPECT_EQ(CoilValueFromText(on), 65280) << on;
}
