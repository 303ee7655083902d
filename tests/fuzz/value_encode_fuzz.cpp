// The value encoder over every type and byte order:
// - a value x, typed as a user might (decimal, "$" hex, "%" binary, the
//   shortest or a 9/17-digit float text, nan and inf, blanks around), goes
//   out as registers that decode back to x, read through the order's letters
//   ("GHEFCDAB": wire byte i is value byte letter[i]) rather than the
//   encoder's own arithmetic, and reads back as x's own text;
// - any text at all is refused with a reason and nothing to send, or is
//   sent as a value that reads back, typed again, to the same registers; a
//   float is NaN or infinite only when "nan" or "inf" was typed.
#include <fuzzer/FuzzedDataProvider.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#include "dataview/byte_orders.h"
#include "dataview/value_encode.h"
#include "dataview/value_views.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

std::string Digits(uint64_t value, int base)
{
    std::string text;
    do {
        text.insert(text.begin(), "0123456789ABCDEF"[value % static_cast<uint64_t>(base)]);
        value /= static_cast<uint64_t>(base);
    } while (value);
    return text;
}

bool IsSignedType(ValueType type)
{
    return type == TypeS16 || type == TypeS32 || type == TypeS64;
}

// x as a text the encoder must take, in one of several forms.
std::string TextOf(ValueType type, uint64_t x, int bits, int form)
{
    if (type == TypeCoil) {
        static const char* const kOn[3] = {"1", "on", "TRUE"};
        static const char* const kOff[3] = {"0", "Off", "false"};
        return x ? kOn[form] : kOff[form];
    }
    if (type == TypeHex16 || type == TypeBin16) {
        const size_t width = type == TypeHex16 ? 4 : 16;
        std::string digits = Digits(x, type == TypeHex16 ? 16 : 2);
        if (form == 1)
            for (char& c : digits)
                c = static_cast<char>(c >= 'A' ? c - 'A' + 'a' : c);
        if (form == 2)
            digits.insert(0, width - digits.size(), '0');
        return digits;
    }
    if (type == TypeFloat32 || type == TypeFloat64) {
        const double value =
            type == TypeFloat32 ? std::bit_cast<float>(static_cast<uint32_t>(x)) : std::bit_cast<double>(x);
        if (std::isnan(value))
            return "nan";
        if (std::isinf(value))
            return value > 0 ? "inf" : "-Infinity";
        if (form == 0)
            return type == TypeFloat32 ? FloatText(static_cast<float>(value)) : DoubleText(value);
        char text[40];
        std::snprintf(text, sizeof text, type == TypeFloat32 ? "%.9g" : "%.17g", value);
        return text;
    }
    bool negative = false;
    uint64_t magnitude = x;
    if (IsSignedType(type) && (x >> (bits - 1)) & 1) {
        negative = true;
        magnitude = (0 - x) & (UINT64_MAX >> (64 - bits));
    }
    static const char* const kMarker[3] = {"", "$", "%"};
    static const int kBase[3] = {10, 16, 2};
    return (negative ? "-" : "") + std::string(kMarker[form]) + Digits(magnitude, kBase[form]);
}

// The text a value of the type reads back as, independently made (hex16
// and bin16 are checked by their register alone).
std::string ExpectedReadBack(ValueType type, uint64_t x, int bits)
{
    switch (type) {
    case TypeFloat32:
        return FloatText(std::bit_cast<float>(static_cast<uint32_t>(x)));
    case TypeFloat64:
        return DoubleText(std::bit_cast<double>(x));
    case TypeCoil:
        return x ? "1 (on)" : "0 (off)";
    default:
        if (IsSignedType(type) && (x >> (bits - 1)) & 1)
            return "-" + std::to_string((0 - x) & (UINT64_MAX >> (64 - bits)));
        return std::to_string(x);
    }
}

// The value's bits from the registers, by the order's letters.
uint64_t Decoded(const EncodedValue& e, ByteOrder order, int count)
{
    if (count == 1)
        return e.registers[0];
    const char* letters = ByteOrderLetters(order, 2 * count);
    uint8_t value[8] = {};
    for (int i = 0; i < 2 * count; i++) {
        const uint16_t r = e.registers[static_cast<size_t>(i / 2)];
        value[letters[i] - 'A'] = static_cast<uint8_t>(i % 2 ? r : r >> 8);
    }
    uint64_t bits = 0;
    for (int i = 0; i < 2 * count; i++)
        bits = bits << 8 | value[i];
    return bits;
}

// The frame's header says its length; function 16 carries the registers.
void CheckFrame(const EncodedValue& e, int function)
{
    const std::vector<uint8_t>& f = e.frame;
    FUZZ_CHECK(f.size() >= 12 && f[7] == function && f.size() == static_cast<size_t>(6 + (f[4] << 8 | f[5])));
    for (size_t i = 0; function == 16 && i < e.registers.size(); i++)
        FUZZ_CHECK((f[13 + 2 * i] << 8 | f[14 + 2 * i]) == e.registers[i]);
}

bool Contains(std::string text, const char* word)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text.find(word) != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider provider(data, size);
    ValueWrite write;
    write.type = static_cast<ValueType>(provider.ConsumeIntegralInRange<int>(0, kValueTypeCount - 1));
    write.order = static_cast<ByteOrder>(provider.ConsumeIntegralInRange<int>(0, kByteOrderCount - 1));
    const std::vector<int> functions = FunctionsFor(write.type);
    write.function = functions[provider.ConsumeBool() ? 0 : functions.size() - 1];
    write.address = 100;
    const int count = RegisterCountOf(write.type);
    const int bits = write.type == TypeCoil ? 1 : 16 * count;
    const uint64_t x = provider.ConsumeIntegral<uint64_t>() & (UINT64_MAX >> (64 - bits));
    const int form = provider.ConsumeIntegralInRange<int>(0, 2);
    const bool blanks = provider.ConsumeBool();
    const std::string typed = provider.ConsumeRemainingBytesAsString();

    // decode(encode(x)) == x
    const std::string text = TextOf(write.type, x, bits, form);
    write.text = blanks ? " \t" + text + " " : text;
    const EncodedValue e = EncodeValue(write);
    FUZZ_CHECK(e.reason.empty() && e.registers.size() == static_cast<size_t>(count));
    CheckFrame(e, write.function);
    const uint64_t back = Decoded(e, write.order, count);
    const bool isFloat = write.type == TypeFloat32 || write.type == TypeFloat64;
    if (isFloat && text == "nan")
        FUZZ_CHECK(ExpectedReadBack(write.type, back, bits) == "NaN");
    else
        FUZZ_CHECK(back == x);
    if (write.type != TypeHex16 && write.type != TypeBin16)
        FUZZ_CHECK(e.readBack == ExpectedReadBack(write.type, x, bits));

    // Any text: refused with nothing to send, or a value that types back.
    write.text = typed;
    const EncodedValue any = EncodeValue(write);
    if (!any.reason.empty()) {
        FUZZ_CHECK(any.frame.empty() && any.registers.empty() && any.readBack.empty());
        FUZZ_CHECK(any.reason.find('\n') == std::string::npos);
        return 0;
    }
    CheckFrame(any, write.function);
    if (isFloat && (any.readBack.find("NaN") != std::string::npos || any.readBack.find("Inf") != std::string::npos))
        FUZZ_CHECK(Contains(typed, "nan") || Contains(typed, "inf"));
    if (write.type != TypeHex16 && write.type != TypeBin16 && write.type != TypeCoil) {
        write.text = any.readBack;
        FUZZ_CHECK(EncodeValue(write).registers == any.registers);
    }
    return 0;
}
