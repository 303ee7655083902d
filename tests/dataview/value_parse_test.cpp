#include <gtest/gtest.h>

#include <string>

#include "dataview/value_parse.h"
#include "modbus/log_format.h"

namespace {

// The value's bytes in hex, most significant first, or the reason.
std::string Outcome(const char* text, ValueType type)
{
    const ParsedValue parsed = ParseTypedValue(text, type);
    if (!parsed.reason.empty())
        return parsed.reason;
    return HexDump(parsed.bytes.data(), type == TypeCoil ? 2 : 2 * RegisterCountOf(type)).substr(1);
}

struct Case {
    ValueType type;
    const char* text;
    std::string expected;  // bytes or reason
};

}  // namespace

TEST(ValueParse, EachTypeAtItsBoundaries)
{
    const std::string rangeU16 = "Out of range: u16 holds 0 to 65535.";
    const std::string rangeS16 = "Out of range: s16 holds -32768 to 32767.";
    const std::string notWhole =
        "Not a whole number: digits, or \"0x\" or \"$\" with hex digits, or \"0b\" or \"%\" with binary digits.";
    const std::string notHex = "Not a hex value: digits 0-9 and A-F only.";
    const std::string notFloat = "Not a number: digits with an optional point and exponent, or nan, inf, -inf.";
    const Case cases[] = {
        // 16 bits: the number rule's forms, blanks around.
        {TypeU16, "65535", "FF FF"},
        {TypeU16, "65536", rangeU16},
        {TypeU16, "-1", rangeU16},
        {TypeU16, " \t$1F ", "00 1F"},
        {TypeU16, "%101", "00 05"},
        {TypeU16, "12x", notWhole},
        // "0x" and "0b" as engineers type them, in either case, after a sign.
        {TypeU16, "0x10", "00 10"},
        {TypeU16, "0XfF", "00 FF"},
        {TypeU16, "0b101", "00 05"},
        {TypeS16, "-0x10", "FF F0"},
        {TypeU64, "0xFFFFFFFFFFFFFFFF", "FF FF FF FF FF FF FF FF"},
        {TypeU16, "0x", notWhole},
        {TypeU16, "0b12", notWhole},
        {TypeU16, "0x-1", notWhole},
        {TypeU16, "00x1", notWhole},
        {TypeU16, "1 2", notWhole},
        {TypeU16, "  ", "No value typed."},
        {TypeS16, "-32768", "80 00"},
        {TypeS16, "-32769", rangeS16},
        {TypeS16, "32768", rangeS16},
        {TypeS16, "$FFFF", rangeS16},
        {TypeHex16, " ffff ", "FF FF"},
        {TypeHex16, "1F", "00 1F"},
        {TypeHex16, "10000", "Too many digits: hex16 holds at most 4."},
        {TypeHex16, "00001", "Too many digits: hex16 holds at most 4."},
        {TypeHex16, "$1F", "00 1F"},
        {TypeHex16, "0x1F", "00 1F"},
        {TypeHex16, "0b1", "00 B1"},  // hex digits, not a prefix
        {TypeHex16, "0x", notHex},
        {TypeHex16, "-1", notHex},
        {TypeHex16, "0x10000", "Too many digits: hex16 holds at most 4."},
        {TypeBin16, "0b1111111111111110", "FF FE"},
        {TypeBin16, "%101", "00 05"},
        {TypeBin16, "0x1", "Not a binary value: digits 0 and 1 only."},
        {TypeBin16, "1111111111111110", "FF FE"},
        {TypeBin16, "11111111111111111", "Too many digits: bin16 holds at most 16."},
        {TypeBin16, "102", "Not a binary value: digits 0 and 1 only."},
        // 32 and 64 bits.
        {TypeU32, "4294967295", "FF FF FF FF"},
        {TypeU32, "$12345678", "12 34 56 78"},
        {TypeU32, "4294967296", "Out of range: u32 holds 0 to 4294967295."},
        {TypeS32, "-2147483648", "80 00 00 00"},
        {TypeS32, "-2", "FF FF FF FE"},
        {TypeS32, "2147483648", "Out of range: s32 holds -2147483648 to 2147483647."},
        {TypeU64, "72623859790382856", "01 02 03 04 05 06 07 08"},
        {TypeU64, "18446744073709551615", "FF FF FF FF FF FF FF FF"},
        {TypeU64, "$FFFFFFFFFFFFFFFF", "FF FF FF FF FF FF FF FF"},
        {TypeU64, "18446744073709551616", "Out of range: u64 holds 0 to 18446744073709551615."},
        {TypeU64, "99999999999999999999999", "Out of range: u64 holds 0 to 18446744073709551615."},
        {TypeS64, "-9223372036854775808", "80 00 00 00 00 00 00 00"},
        {TypeS64, "9223372036854775808", "Out of range: s64 holds -9223372036854775808 to 9223372036854775807."},
        // float32: as typed, rounded to the nearest float; overflow refused.
        {TypeFloat32, "123.456", "42 F6 E9 79"},
        {TypeFloat32, "3.4028235e38", "7F 7F FF FF"},
        {TypeFloat32, "3.40282356e38", "7F 7F FF FF"},
        {TypeFloat32, "3.4028236e38", "Too large for float32: it would go out as Infinity; type inf for that."},
        {TypeFloat32, "-1e39", "Too large for float32: it would go out as -Infinity; type -inf for that."},
        {TypeFloat32, "16777217", "4B 80 00 00"},
        {TypeFloat32, "0.1", "3D CC CC CD"},
        {TypeFloat32, "1e-45", "00 00 00 01"},
        {TypeFloat32, "8e-46", "00 00 00 01"},
        // Closer to zero than the smallest subnormal: refused, as it would
        // go out as a zero; a zero typed goes out.
        {TypeFloat32, "1e-50", "Too small for float32: it rounds to 0 (underflow); type 0 for that."},
        {TypeFloat32, "-.00001e-41", "Too small for float32: it rounds to -0 (underflow); type -0 for that."},
        {TypeFloat32, "7e-46", "Too small for float32: it rounds to 0 (underflow); type 0 for that."},
        {TypeFloat32, "-0", "80 00 00 00"},
        {TypeFloat32, "0.000e-99", "00 00 00 00"},
        {TypeFloat32, "+2.", "40 00 00 00"},
        {TypeFloat32, "NaN", "7F C0 00 00"},
        {TypeFloat32, "-INF", "FF 80 00 00"},
        {TypeFloat32, "Infinity", "7F 80 00 00"},
        {TypeFloat32, "-nan", notFloat},
        {TypeFloat32, "nan(1)", notFloat},
        {TypeFloat32, "infin", notFloat},
        {TypeFloat32, "1e", notFloat},
        {TypeFloat32, "1,5", "Not a number: use a point for decimals (1.5, not 1,5)."},
        {TypeFloat64, "-1,25e3", "Not a number: use a point for decimals (1.5, not 1,5)."},
        {TypeFloat32, "$10", notFloat},
        {TypeFloat32, "0x1p3", notFloat},
        // float64.
        {TypeFloat64, "0.1", "3F B9 99 99 99 99 99 9A"},
        {TypeFloat64, "4.9e-324", "00 00 00 00 00 00 00 01"},
        {TypeFloat64, "1e309", "Too large for float64: it would go out as Infinity; type inf for that."},
        {TypeFloat64, "2e-324", "Too small for float64: it rounds to 0 (underflow); type 0 for that."},
        {TypeFloat64, "-infinity", "FF F0 00 00 00 00 00 00"},
        // Coils.
        {TypeCoil, "on", "00 01"},
        {TypeCoil, " OFF ", "00 00"},
        {TypeCoil, "True", "00 01"},
        {TypeCoil, "2", "Not a coil value: 0 or 1, off or on, false or true."},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Outcome(c.text, c.type), c.expected) << ValueTypeName(c.type) << " \"" << c.text << "\"";
}
