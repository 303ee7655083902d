#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dataview/value_encode.h"
#include "modbus/log_format.h"

namespace {

// Unit 1, address 10 (00 0A), for each function; function 16 by the number
// of registers.
const std::string kF5 = "00 00 00 00 00 06 01 05 00 0A ";
const std::string kF6 = "00 00 00 00 00 06 01 06 00 0A ";
const std::string kF15 = "00 00 00 00 00 08 01 0F 00 0A 00 01 01 ";
const std::string kF16x1 = "00 00 00 00 00 09 01 10 00 0A 00 01 02 ";
const std::string kF16x2 = "00 00 00 00 00 0B 01 10 00 0A 00 02 04 ";
const std::string kF16x4 = "00 00 00 00 00 0F 01 10 00 0A 00 04 08 ";

// The request in hex when the write can go out, else its reason.
std::string Outcome(const EncodedValue& e)
{
    if (!e.reason.empty())
        return e.reason;
    return HexDump(e.frame.data(), static_cast<int>(e.frame.size())).substr(1);
}

struct Case {
    ValueType type;
    ByteOrder order;
    int function;
    const char* text;
    std::string expected;  // frame or reason
    const char* readBack = nullptr;
};

}  // namespace

TEST(ValueEncode, EachTypeInEveryOrderByItsFunctions)
{
    const Case cases[] = {
        // 16 bits: function 6 or 16; no order applies.
        {TypeU16, OrderABCD, 6, "65535", kF6 + "FF FF", "65535"},
        {TypeU16, OrderDCBA, 16, "1234", kF16x1 + "04 D2"},
        {TypeU16, OrderABCD, 6, "65536", "Out of range: u16 holds 0 to 65535."},
        {TypeS16, OrderABCD, 6, "-32768", kF6 + "80 00", "-32768"},
        {TypeHex16, OrderABCD, 6, " ffff ", kF6 + "FF FF", "0xFFFF"},
        {TypeHex16, OrderABCD, 16, "1F", kF16x1 + "00 1F"},
        {TypeBin16, OrderABCD, 6, "1111111111111110", kF6 + "FF FE", "1111 1111 1111 1110"},
        // 32 bits: 0x12345678 in each order.
        {TypeU32, OrderABCD, 16, "305419896", kF16x2 + "12 34 56 78", "305419896"},
        {TypeU32, OrderCDAB, 16, "305419896", kF16x2 + "56 78 12 34"},
        {TypeU32, OrderBADC, 16, "305419896", kF16x2 + "34 12 78 56"},
        {TypeU32, OrderDCBA, 16, "$12345678", kF16x2 + "78 56 34 12"},
        {TypeS32, OrderABCD, 16, "-2147483648", kF16x2 + "80 00 00 00", "-2147483648"},
        {TypeS32, OrderCDAB, 16, "-2", kF16x2 + "FF FE FF FF", "-2"},
        // 64 bits: 0x0102030405060708 as ABCDEFGH, GHEFCDAB, BADCFEHG, HGFEDCBA.
        {TypeU64, OrderABCD, 16, "72623859790382856", kF16x4 + "01 02 03 04 05 06 07 08", "72623859790382856"},
        {TypeU64, OrderCDAB, 16, "72623859790382856", kF16x4 + "07 08 05 06 03 04 01 02"},
        {TypeU64, OrderBADC, 16, "72623859790382856", kF16x4 + "02 01 04 03 06 05 08 07"},
        {TypeU64, OrderDCBA, 16, "72623859790382856", kF16x4 + "08 07 06 05 04 03 02 01"},
        {TypeS64, OrderABCD, 16, "-9223372036854775808", kF16x4 + "80 00 00 00 00 00 00 00", "-9223372036854775808"},
        // Floats read back as the nearest value of their type.
        {TypeFloat32, OrderCDAB, 16, "123.456", kF16x2 + "E9 79 42 F6", "123.456"},
        {TypeFloat32, OrderABCD, 16, "3.4028235e38", kF16x2 + "7F 7F FF FF", "3.4028235e+38"},
        {TypeFloat32, OrderABCD, 16, "16777217", kF16x2 + "4B 80 00 00", "16777216"},
        {TypeFloat32, OrderABCD, 16, "8e-46", kF16x2 + "00 00 00 01", "1e-45"},
        {TypeFloat32, OrderABCD, 16, "NaN", kF16x2 + "7F C0 00 00", "NaN"},
        {TypeFloat32, OrderDCBA, 16, "-INF", kF16x2 + "00 00 80 FF", "-Infinity"},
        {TypeFloat64, OrderABCD, 16, "0.1", kF16x4 + "3F B9 99 99 99 99 99 9A", "0.1"},
        {TypeFloat64, OrderCDAB, 16, "1", kF16x4 + "00 00 00 00 00 00 3F F0", "1"},
        {TypeFloat64, OrderBADC, 16, "1", kF16x4 + "F0 3F 00 00 00 00 00 00", "1"},
        {TypeFloat64, OrderDCBA, 16, "0.1", kF16x4 + "9A 99 99 99 99 99 B9 3F", "0.1"},
        {TypeFloat64, OrderABCD, 16, "4.9e-324", kF16x4 + "00 00 00 00 00 00 00 01", "5e-324"},
        // Coils by function 5 or 15.
        {TypeCoil, OrderABCD, 5, "on", kF5 + "FF 00", "1 (on)"},
        {TypeCoil, OrderABCD, 5, " OFF ", kF5 + "00 00", "0 (off)"},
        {TypeCoil, OrderABCD, 15, "True", kF15 + "01"},
        {TypeCoil, OrderABCD, 15, "0", kF15 + "00"},
        // A function that does not fit the type.
        {TypeU16, OrderABCD, 5, "1", "Function 5 cannot write type u16: use 6 or 16."},
        {TypeU32, OrderABCD, 6, "1", "Function 6 cannot write type u32: use 16."},
        {TypeFloat64, OrderABCD, 15, "1", "Function 15 cannot write type float64: use 16."},
        {TypeCoil, OrderABCD, 16, "1", "Function 16 cannot write type coil: use 5 or 15."},
    };
    for (const Case& c : cases) {
        ValueWrite write;
        write.type = c.type;
        write.order = c.order;
        write.function = c.function;
        write.text = c.text;
        write.address = 10;
        write.blockLast = 100;
        const EncodedValue e = EncodeValue(write);
        const std::string what = std::string(ValueTypeName(c.type)) + " " + ByteOrderName(c.order) + " fn " +
                                 std::to_string(c.function) + " \"" + c.text + "\"";
        EXPECT_EQ(Outcome(e), c.expected) << what;
        if (c.readBack) {
            EXPECT_EQ(e.readBack, c.readBack) << what;
        }
        // Nothing to send with a reason; a value for each register with one.
        EXPECT_EQ(e.frame.empty(), !e.reason.empty()) << what;
        EXPECT_EQ(e.registers.size(), e.reason.empty() ? static_cast<size_t>(RegisterCountOf(c.type)) : 0u) << what;
    }
}

TEST(ValueEncode, AddressesMustGoOutInsideTheAddressSpaceAndTheBlock)
{
    struct AddressCase {
        ValueType type;
        int function;
        int64_t address;
        bool offsetOn;
        int64_t first, last;
        std::string expected;
    };
    const AddressCase cases[] = {
        {TypeU16, 6, 65535, false, 0, 65535, "00 00 00 00 00 06 2C 06 FF FF 00 07"},
        {TypeU32, 16, 65535, false, 0, 65535, "Would go out at addresses 65535 to 65536, outside 0 to 65535."},
        {TypeFloat64, 16, 65532, false, 0, 65535, "00 00 00 00 00 0F 2C 10 FF FC 00 04 08 40 1C 00 00 00 00 00 00"},
        {TypeFloat64, 16, 65533, false, 0, 65535, "Would go out at addresses 65533 to 65536, outside 0 to 65535."},
        {TypeU16, 6, 0, true, 0, 10, "Would go out at address -1, outside 0 to 65535."},
        {TypeU32, 16, 1, true, 1, 10, "00 00 00 00 00 0B 2C 10 00 00 00 02 04 00 00 00 07"},
        {TypeFloat32, 16, 65536, true, 1, 65536, "Would go out at addresses 65535 to 65536, outside 0 to 65535."},
        {TypeU32, 16, 10, false, 1, 10, "Registers 40010 to 40011 run past the block shown, 40001 to 40010."},
        {TypeU16, 6, 0, false, 1, 10, "Register 40000 is outside the block shown, 40001 to 40010."},
        {TypeCoil, 15, 11, false, 1, 10, "Coil 0011 is outside the block shown, 0001 to 0010."},
        {TypeCoil, 15, 10, true, 1, 10, "00 00 00 00 00 08 2C 0F 00 09 00 01 01 01"},
    };
    for (const AddressCase& c : cases) {
        ValueWrite write;
        write.type = c.type;
        write.function = c.function;
        write.text = "7";
        if (c.type == TypeCoil)
            write.text = "1";
        write.unit = 300;  // its low 8 bits, 2C
        write.address = c.address;
        write.offsetOn = c.offsetOn;
        write.blockFirst = c.first;
        write.blockLast = c.last;
        EXPECT_EQ(Outcome(EncodeValue(write)), c.expected) << ValueTypeName(c.type) << " at " << c.address;
    }
}

TEST(ValueEncode, TheTextOfTheValueHeldWritesTheSameRegisters)
{
    const std::vector<uint16_t> held[] = {{0x42F6, 0xE979, 0x0000, 0x0001},
                                          {0xC2F6, 0x8000, 0x7F7F, 0x0001}};  // no NaN in any order
    for (const std::vector<uint16_t>& registers : held)
        for (int t = TypeU16; t <= TypeCoil; t++)
            for (int o = OrderABCD; o <= OrderDCBA; o++) {
                const auto type = static_cast<ValueType>(t);
                ValueWrite write;
                write.type = type;
                write.order = static_cast<ByteOrder>(o);
                write.function = FunctionsFor(type)[0];
                write.text = ValueEditText(type, write.order, registers.data());
                write.address = 10;
                const EncodedValue e = EncodeValue(write);
                const size_t count = static_cast<size_t>(RegisterCountOf(type));
                const std::vector<uint16_t> expected =
                    type == TypeCoil ? std::vector<uint16_t>{1}
                                     : std::vector<uint16_t>(registers.begin(), registers.begin() + count);
                EXPECT_EQ(e.registers, expected) << ValueTypeName(type) << " " << o << " \"" << write.text << "\"";
            }
}
