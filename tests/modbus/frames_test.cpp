#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "modbus/frames.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Read(int table, int64_t unit, int64_t start, int64_t quantity, bool offset)
{
    std::array<uint8_t, 12> out{};
    EXPECT_EQ(BuildReadRequest(out.data(), table, unit, start, quantity, offset), 12);
    return {out.begin(), out.end()};
}

Bytes Write(int64_t unit, int function, int64_t address, int64_t value, bool offset)
{
    // Guard bytes around the frame catch a write past its 12 bytes.
    std::array<uint8_t, 16> out;
    out.fill(0xAA);
    EXPECT_EQ(BuildWriteRequest(out.data(), unit, function, address, value, offset), 12);
    for (size_t i = 12; i < out.size(); i++)
        EXPECT_EQ(out[i], 0xAA) << "byte " << i;
    return {out.begin(), out.begin() + 12};
}

Bytes Field(int64_t value)
{
    std::array<uint8_t, 2> out{};
    Put16(out.data(), value);
    return {out.begin(), out.end()};
}

}  // namespace

// The request as it goes out with the transaction id it is given then.
Bytes Stamped(Bytes request, uint16_t id)
{
    StampTransactionId(request.data(), id);
    return request;
}

TEST(Frames, RequestExamples)
{
    EXPECT_EQ(Stamped(Read(1, 1, 1, 100, false), 1),
              (Bytes{0x00, 0x01, 0x00, 0x00, 0x00, 0x06, 0x01, 0x02, 0x00, 0x01, 0x00, 0x64}));
    EXPECT_EQ(Stamped(Read(4, 1, 1, 100, false), 0x1234),
              (Bytes{0x12, 0x34, 0x00, 0x00, 0x00, 0x06, 0x01, 0x03, 0x00, 0x01, 0x00, 0x64}));
    EXPECT_EQ(Stamped(Read(4, 1, 1, 100, true), 65535),
              (Bytes{0xFF, 0xFF, 0x00, 0x00, 0x00, 0x06, 0x01, 0x03, 0x00, 0x00, 0x00, 0x64}));
    EXPECT_EQ(Stamped(Write(1, kFunctionWriteCoil, 5, kCoilOn, false), 0),
              (Bytes{0x00, 0x00, 0x00, 0x00, 0x00, 0x06, 0x01, 0x05, 0x00, 0x05, 0xFF, 0x00}));
    EXPECT_EQ(Stamped(Write(1, kFunctionWriteRegister, 10, 1234, false), 256),
              (Bytes{0x01, 0x00, 0x00, 0x00, 0x00, 0x06, 0x01, 0x06, 0x00, 0x0A, 0x04, 0xD2}));
}

TEST(Frames, SixteenBitFieldKeepsTheFirstFourHexDigits)
{
    EXPECT_EQ(Field(0), (Bytes{0x00, 0x00}));
    EXPECT_EQ(Field(0xAB), (Bytes{0x00, 0xAB}));
    EXPECT_EQ(Field(0x1234), (Bytes{0x12, 0x34}));
    EXPECT_EQ(Field(65535), (Bytes{0xFF, 0xFF}));
    // Above 65535 the leading digits survive, not the low 16 bits.
    EXPECT_EQ(Field(70000), (Bytes{0x11, 0x17}));
    EXPECT_EQ(Field(65536), (Bytes{0x10, 0x00}));
    EXPECT_EQ(Field(0xFEDCBA98), (Bytes{0xFE, 0xDC}));
    // Negative values are read from their 16-digit two's complement.
    EXPECT_EQ(Field(-1), (Bytes{0xFF, 0xFF}));
    EXPECT_EQ(Field(-65536), (Bytes{0xFF, 0xFF}));
    EXPECT_EQ(Field(std::numeric_limits<int64_t>::min()), (Bytes{0x80, 0x00}));
    EXPECT_EQ(Field(std::numeric_limits<int64_t>::max()), (Bytes{0x7F, 0xFF}));
}

TEST(Frames, ReadRequestFieldsAtTheirLimits)
{
    // Start address 0 with the offset switch on.
    EXPECT_EQ(Read(3, 1, 0, 10, true)[8], 0xFF);
    EXPECT_EQ(Read(3, 1, 0, 10, true)[9], 0xFF);
    // The lowest 64-bit address wraps rather than overflowing.
    EXPECT_EQ(Read(3, 1, std::numeric_limits<int64_t>::min(), 10, true)[8], 0x7F);
    EXPECT_EQ(Write(1, kFunctionWriteCoil, std::numeric_limits<int64_t>::min(), kCoilOn, true)[9], 0xFF);
    // Length 0, and start address and length of 70000.
    EXPECT_EQ(Read(2, 1, 1, 0, false), (Bytes{0x00, 0x00, 0x00, 0x00, 0x00, 0x06, 0x01, 0x01, 0x00, 0x01, 0x00, 0x00}));
    EXPECT_EQ(Read(2, 1, 70000, 70000, false),
              (Bytes{0x00, 0x00, 0x00, 0x00, 0x00, 0x06, 0x01, 0x01, 0x11, 0x17, 0x11, 0x17}));
    // The unit id is the low 8 bits of the number.
    EXPECT_EQ(Read(1, 256, 1, 1, false)[6], 0x00);
    EXPECT_EQ(Read(1, 300, 1, 1, false)[6], 0x2C);
    EXPECT_EQ(Read(1, -1, 1, 1, false)[6], 0xFF);
}

TEST(Frames, EachTableHasItsFunctionCodeAndEveryRequestItsIdOnlyWhenItGoesOut)
{
    const int function[] = {0, 2, 1, 4, 3};
    for (int table = 1; table <= 4; table++) {
        Bytes frame = Read(table, 1, 1, 1, false);
        EXPECT_EQ(frame[0], 0);
        EXPECT_EQ(frame[1], 0);
        EXPECT_EQ(frame[7], function[table]);
        EXPECT_EQ(ReadFunctionCode(table), function[table]);
    }
    EXPECT_EQ(Write(256, kFunctionWriteCoil, 1, kCoilOff, true),
              (Bytes{0x00, 0x00, 0x00, 0x00, 0x00, 0x06, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(Write(7, kFunctionWriteRegister, 0, -1, true),
              (Bytes{0x00, 0x00, 0x00, 0x00, 0x00, 0x06, 0x07, 0x06, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(Write(1, kFunctionWriteRegister, 70000, 70000, false),
              (Bytes{0x00, 0x00, 0x00, 0x00, 0x00, 0x06, 0x01, 0x06, 0x11, 0x17, 0x11, 0x17}));
}

TEST(Frames, ExceptionCodesThatHaveAStatusText)
{
    EXPECT_STREQ(ExceptionStatusText(1), "Read Error: Wrong Function Code");
    EXPECT_STREQ(ExceptionStatusText(2), "Read Error: Wrong Address");
    EXPECT_STREQ(ExceptionStatusText(3), "Read Error: Wrong Data");
    EXPECT_STREQ(ExceptionStatusText(6), "Read Error: PLC Busy");
    for (int code : {0, 4, 5, 7, 10, 11, 0x83, 255})
        EXPECT_EQ(ExceptionStatusText(static_cast<uint8_t>(code)), nullptr) << code;
}

TEST(Frames, WriteMultipleRegistersAndCoils)
{
    // Guard bytes past the frame catch a write beyond its length.
    std::array<uint8_t, 24> out;
    out.fill(0xAA);
    const uint16_t registers[4] = {0x0102, 0x0304, 0xFFFF, 0};
    ASSERT_EQ(BuildWriteRegistersRequest(out.data(), 300, 10, registers, 4, false), 21);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 21),
              (Bytes{0x00, 0x00, 0x00, 0x00, 0x00, 0x0F, 0x2C, 0x10, 0x00, 0x0A, 0x00,
                     0x04, 0x08, 0x01, 0x02, 0x03, 0x04, 0xFF, 0xFF, 0x00, 0x00}));
    EXPECT_EQ(out[21], 0xAA);
    // One register, with the address offset: 15 bytes.
    ASSERT_EQ(BuildWriteRegistersRequest(out.data(), 1, 1, registers, 1, true), 15);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 16),
              (Bytes{0x00, 0x00, 0x00, 0x00, 0x00, 0x09, 0x01, 0x10, 0x00, 0x00, 0x00, 0x01, 0x02, 0x01, 0x02, 0x03}));

    // Coils: the first in the lowest bit, the unused high bits zero.
    out.fill(0xAA);
    const bool on[1] = {true};
    ASSERT_EQ(BuildWriteCoilsRequest(out.data(), 1, 5, on, 1, false), 14);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 15),
              (Bytes{0x00, 0x00, 0x00, 0x00, 0x00, 0x08, 0x01, 0x0F, 0x00, 0x05, 0x00, 0x01, 0x01, 0x01, 0xAA}));
    const bool nine[9] = {true, false, true, false, false, false, false, false, true};
    ASSERT_EQ(BuildWriteCoilsRequest(out.data(), 1, 5, nine, 9, false), 15);
    EXPECT_EQ(Bytes(out.begin() + 4, out.begin() + 16),
              (Bytes{0x00, 0x09, 0x01, 0x0F, 0x00, 0x05, 0x00, 0x09, 0x02, 0x05, 0x01, 0xAA}));

    // Counts no request can carry build nothing.
    out.fill(0xAA);
    EXPECT_EQ(BuildWriteRegistersRequest(out.data(), 1, 1, registers, 0, false), 0);
    EXPECT_EQ(BuildWriteRegistersRequest(out.data(), 1, 1, registers, kMaxWriteRegisters + 1, false), 0);
    EXPECT_EQ(BuildWriteCoilsRequest(out.data(), 1, 1, nine, 0, false), 0);
    EXPECT_EQ(out[0], 0xAA);
}
