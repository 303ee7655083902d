#include "dataview/value_encode.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <limits>

#include "common/field_limits.h"
#include "common/number_rule.h"
#include "common/table_numbers.h"
#include "dataview/value_formats.h"
#include "dataview/value_views.h"
#include "modbus/frames.h"

static_assert(kLongestWriteRequest >= static_cast<size_t>(WriteRegistersRequestLength(4)) &&
                  kLongestWriteRequest >= static_cast<size_t>(WriteCoilsRequestLength(1)),
              "a queued write must hold the longest request the dialog makes");

namespace {

constexpr const char* kTypeNames[kValueTypeCount] = {"u16",     "s16", "hex16", "bin16",   "u32", "s32",
                                                     "float32", "u64", "s64",   "float64", "coil"};

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string Lower(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The value's bytes, most significant first, or the reason there are none.
struct Parsed {
    std::string reason;
    std::array<uint8_t, 8> bytes{};
};

void PutBits(Parsed& parsed, uint64_t bits, int width)
{
    for (int i = 0; i < width; i++)
        parsed.bytes[static_cast<size_t>(i)] = static_cast<uint8_t>(bits >> (8 * (width - 1 - i)));
}

// u16 .. s64 by the text-to-number rule, within the type's range.
Parsed ParseInteger(std::string_view text, ValueType type, int width)
{
    Parsed parsed;
    const int bits = 8 * width;
    const bool isSigned = type == TypeS16 || type == TypeS32 || type == TypeS64;
    const uint64_t highest = isSigned ? (uint64_t{1} << (bits - 1)) - 1 : UINT64_MAX >> (64 - bits);
    const uint64_t lowestMagnitude = isSigned ? highest + 1 : 0;  // of a negative value

    const std::optional<WholeMagnitude> n = ParseWholeMagnitude(text);
    if (!n) {
        parsed.reason = "Not a whole number: digits, or \"$\" with hex digits, or \"%\" with binary digits.";
        return parsed;
    }
    if (n->overflow || n->magnitude > (n->negative ? lowestMagnitude : highest)) {
        const std::string low = isSigned ? "-" + std::to_string(lowestMagnitude) : "0";
        parsed.reason =
            "Out of range: " + std::string(kTypeNames[type]) + " holds " + low + " to " + std::to_string(highest) + ".";
        return parsed;
    }
    PutBits(parsed, n->negative ? 0 - n->magnitude : n->magnitude, width);
    return parsed;
}

// hex16 and bin16: bare digits of the base, as the cell editor takes them.
Parsed ParseDigits(std::string_view text, int base)
{
    Parsed parsed;
    const bool hex = base == 16;
    uint32_t value = 0;
    for (char c : text) {
        int d = -1;
        if (IsDigit(c))
            d = c - '0';
        else if (hex && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else if (hex && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        if (d < 0 || d >= base) {
            parsed.reason =
                hex ? "Not a hex value: digits 0-9 and A-F only." : "Not a binary value: digits 0 and 1 only.";
            return parsed;
        }
        value = (value * static_cast<uint32_t>(base) + static_cast<uint32_t>(d)) & 0xFFFF;
    }
    if (text.size() > (hex ? 4u : 16u)) {
        parsed.reason = hex ? "Too many digits: hex16 holds at most 4." : "Too many digits: bin16 holds at most 16.";
        return parsed;
    }
    PutBits(parsed, value, 2);
    return parsed;
}

// An optional sign, digits with an optional point (at least one digit), an
// optional exponent with at least one digit.
bool IsDecimalNumber(std::string_view text)
{
    size_t i = 0;
    const size_t n = text.size();
    if (i < n && (text[i] == '+' || text[i] == '-'))
        i++;
    int digits = 0;
    for (; i < n && IsDigit(text[i]); i++)
        digits++;
    if (i < n && text[i] == '.')
        for (i++; i < n && IsDigit(text[i]); i++)
            digits++;
    if (digits == 0)
        return false;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        i++;
        if (i < n && (text[i] == '+' || text[i] == '-'))
            i++;
        int exponentDigits = 0;
        for (; i < n && IsDigit(text[i]); i++)
            exponentDigits++;
        if (exponentDigits == 0)
            return false;
    }
    return i == n;
}

// Whether a decimal number that no value of the type holds is too large
// rather than too small: the power of ten of its first non-zero digit is 0
// or more. Such numbers lie beyond 1e38 or below 1e-45, far from 1.
bool AtLeastOne(std::string_view text)
{
    const size_t e = text.find_first_of("eE");
    int64_t integerDigits = 0;  // from the first non-zero one
    int64_t fractionZeros = 0;  // after the point, before the first non-zero digit
    bool afterPoint = false;
    bool found = false;
    for (char c : text.substr(0, e)) {
        if (c == '.')
            afterPoint = true;
        else if (!afterPoint && (c != '0' || integerDigits > 0))
            integerDigits++;
        else if (afterPoint && integerDigits == 0 && !found && c == '0')
            fractionZeros++;
        else if (afterPoint)
            found = true;
    }
    int64_t power = integerDigits > 0 ? integerDigits - 1 : -(fractionZeros + 1);
    if (e != std::string_view::npos) {
        std::string_view exponent = text.substr(e + 1);
        const bool negative = exponent[0] == '-';
        if (exponent[0] == '+' || exponent[0] == '-')
            exponent.remove_prefix(1);
        int64_t value = 0;  // held far beyond any float's range, never overflowing
        for (char c : exponent)
            value = std::min<int64_t>(value * 10 + (c - '0'), 1000000);
        power += negative ? -value : value;
    }
    return power >= 0;
}

template <typename Float, typename Bits>
Parsed ParseFloat(std::string_view text, const char* typeName)
{
    Parsed parsed;
    Float value = 0;
    const std::string lower = Lower(text);
    if (lower == "nan") {
        value = std::numeric_limits<Float>::quiet_NaN();
    } else if (lower == "inf" || lower == "+inf" || lower == "infinity" || lower == "+infinity") {
        value = std::numeric_limits<Float>::infinity();
    } else if (lower == "-inf" || lower == "-infinity") {
        value = -std::numeric_limits<Float>::infinity();
    } else if (!IsDecimalNumber(text)) {
        parsed.reason = "Not a number: digits with an optional point and exponent, or nan, inf, -inf.";
        return parsed;
    } else {
        const bool negative = text[0] == '-';
        // from_chars rounds to nearest but takes no "+".
        const std::string_view unsigned_ = text.substr(text[0] == '+' || negative ? 1 : 0);
        const auto result = std::from_chars(unsigned_.data(), unsigned_.data() + unsigned_.size(), value);
        if (result.ec == std::errc::result_out_of_range) {
            if (AtLeastOne(unsigned_)) {
                parsed.reason = std::string("Too large for ") + typeName + ": it would go out as " +
                                (negative ? "-Infinity; type -inf" : "Infinity; type inf") + " for that.";
                return parsed;
            }
            value = 0;  // the nearest value of the type
        } else if (result.ec != std::errc() || result.ptr != unsigned_.data() + unsigned_.size()) {
            parsed.reason = "Not a number: digits with an optional point and exponent, or nan, inf, -inf.";
            return parsed;
        }
        if (negative)
            value = -value;
    }
    PutBits(parsed, std::bit_cast<Bits>(value), sizeof(Bits));
    return parsed;
}

Parsed ParseCoil(std::string_view text)
{
    Parsed parsed;
    const std::string lower = Lower(text);
    if (lower == "1" || lower == "on" || lower == "true")
        parsed.bytes[1] = 1;
    else if (lower != "0" && lower != "off" && lower != "false")
        parsed.reason = "Not a coil value: 0 or 1, off or on, false or true.";
    return parsed;
}

Parsed ParseValue(std::string_view text, ValueType type)
{
    text = Trimmed(text);
    if (text.empty()) {
        Parsed parsed;
        parsed.reason = "No value typed.";
        return parsed;
    }
    switch (type) {
    case TypeHex16:
        return ParseDigits(text, 16);
    case TypeBin16:
        return ParseDigits(text, 2);
    case TypeFloat32:
        return ParseFloat<float, uint32_t>(text, "float32");
    case TypeFloat64:
        return ParseFloat<double, uint64_t>(text, "float64");
    case TypeCoil:
        return ParseCoil(text);
    default:
        return ParseInteger(text, type, 2 * RegisterCountOf(type));
    }
}

std::string Label(ValueType type, int64_t address)
{
    return TableLabel(type == TypeCoil ? TableCoils : TableHoldingRegisters, address, 0);
}

// Why the count registers or coils from address cannot go out, if so.
std::string AddressReason(const ValueWrite& write, int count)
{
    const int64_t first = SentAddress(write.address, write.offsetOn);
    const int64_t last = first + count - 1;
    if (first < 0 || last > kHighestAddress) {
        if (count == 1)
            return "Would go out at address " + std::to_string(first) + ", outside 0 to 65535.";
        return "Would go out at addresses " + std::to_string(first) + " to " + std::to_string(last) +
               ", outside 0 to 65535.";
    }
    const int64_t lastAddress = write.address + count - 1;
    if (write.address < write.blockFirst || lastAddress > write.blockLast) {
        const std::string block = Label(write.type, write.blockFirst) + " to " + Label(write.type, write.blockLast);
        const char* what = write.type == TypeCoil ? "Coil " : "Register ";
        if (count == 1)
            return what + Label(write.type, write.address) + " is outside the block shown, " + block + ".";
        return "Registers " + Label(write.type, write.address) + " to " + Label(write.type, lastAddress) +
               " run past the block shown, " + block + ".";
    }
    return {};
}

std::string FunctionReason(ValueType type, int function)
{
    const std::vector<int> functions = FunctionsFor(type);
    if (std::find(functions.begin(), functions.end(), function) != functions.end())
        return {};
    std::string use;
    for (int f : functions)
        use += (use.empty() ? "" : " or ") + std::to_string(f);
    return "Function " + std::to_string(function) + " cannot write type " + kTypeNames[type] + ": use " + use + ".";
}

}  // namespace

const char* ValueTypeName(ValueType type)
{
    return type >= TypeU16 && type <= TypeCoil ? kTypeNames[type] : "";
}

std::optional<ValueType> ValueTypeFromName(std::string_view name)
{
    for (int t = 0; t < kValueTypeCount; t++)
        if (name == kTypeNames[t])
            return static_cast<ValueType>(t);
    return std::nullopt;
}

int RegisterCountOf(ValueType type)
{
    switch (type) {
    case TypeU32:
    case TypeS32:
    case TypeFloat32:
        return 2;
    case TypeU64:
    case TypeS64:
    case TypeFloat64:
        return 4;
    default:
        return 1;
    }
}

std::vector<int> FunctionsFor(ValueType type)
{
    if (type == TypeCoil)
        return {kFunctionWriteCoil, kFunctionWriteCoils};
    if (RegisterCountOf(type) == 1)
        return {kFunctionWriteRegister, kFunctionWriteRegisters};
    return {kFunctionWriteRegisters};
}

const char* WriteFunctionName(int function)
{
    switch (function) {
    case kFunctionWriteCoil:
        return "5 Write Single Coil";
    case kFunctionWriteRegister:
        return "6 Write Single Register";
    case kFunctionWriteCoils:
        return "15 Write Multiple Coils";
    case kFunctionWriteRegisters:
        return "16 Write Multiple Registers";
    default:
        return "";
    }
}

EncodedValue EncodeValue(const ValueWrite& write)
{
    EncodedValue encoded;
    if (write.type < TypeU16 || write.type > TypeCoil) {
        encoded.reason = "No type chosen.";
        return encoded;
    }
    const int count = RegisterCountOf(write.type);
    if (count > 1 && (write.order < OrderABCD || write.order > OrderDCBA)) {
        encoded.reason = "No byte order chosen.";
        return encoded;
    }
    encoded.reason = FunctionReason(write.type, write.function);
    if (encoded.reason.empty())
        encoded.reason = AddressReason(write, count);
    if (!encoded.reason.empty())
        return encoded;
    const Parsed parsed = ParseValue(write.text, write.type);
    if (!parsed.reason.empty()) {
        encoded.reason = parsed.reason;
        return encoded;
    }

    // A 16-bit value has no order to apply.
    const int width = 2 * count;
    const ByteOrder order = count == 1 ? OrderABCD : write.order;
    std::array<uint8_t, 8> wire{};
    ValueToWire(order, parsed.bytes.data(), wire.data(), width);
    for (int i = 0; i < count; i++) {
        encoded.registers.push_back(
            static_cast<uint16_t>(wire[static_cast<size_t>(2 * i)] << 8 | wire[static_cast<size_t>(2 * i + 1)]));
        encoded.labels.push_back(Label(write.type, write.address + i));
    }

    std::array<uint8_t, kLongestWriteRequest> frame{};
    int length = 0;
    switch (write.function) {
    case kFunctionWriteCoil:
        length = BuildWriteRequest(frame.data(), write.unit, kFunctionWriteCoil, write.address,
                                   encoded.registers[0] ? kCoilOn : kCoilOff, write.offsetOn);
        break;
    case kFunctionWriteCoils: {
        const bool state = encoded.registers[0] != 0;
        length = BuildWriteCoilsRequest(frame.data(), write.unit, write.address, &state, 1, write.offsetOn);
        break;
    }
    case kFunctionWriteRegister:
        length = BuildWriteRequest(frame.data(), write.unit, kFunctionWriteRegister, write.address,
                                   encoded.registers[0], write.offsetOn);
        break;
    default:
        length = BuildWriteRegistersRequest(frame.data(), write.unit, write.address, encoded.registers.data(), count,
                                            write.offsetOn);
        break;
    }
    encoded.frame.assign(frame.begin(), frame.begin() + length);
    encoded.readBack = ValueReadBack(write.type, order, encoded.registers.data());
    return encoded;
}

std::string ValueReadBack(ValueType type, ByteOrder order, const uint16_t* registers)
{
    const int count = RegisterCountOf(type);
    if (type < TypeU16 || type > TypeCoil || (count > 1 && (order < OrderABCD || order > OrderDCBA)))
        return {};
    std::array<uint8_t, 8> wire{};
    for (int i = 0; i < count; i++) {
        wire[static_cast<size_t>(2 * i)] = static_cast<uint8_t>(registers[i] >> 8);
        wire[static_cast<size_t>(2 * i + 1)] = static_cast<uint8_t>(registers[i]);
    }
    if (count == 2) {
        // Exactly the hover tool tip's line for the order.
        const PairViews views = ViewPair(wire.data())[static_cast<size_t>(order)];
        return type == TypeU32 ? views.unsigned32 : type == TypeS32 ? views.signed32 : views.float32;
    }
    if (count == 4) {
        std::array<uint8_t, 8> value{};
        WireToValue(order, wire.data(), value.data(), 8);
        uint64_t bits = 0;
        for (uint8_t b : value)
            bits = bits << 8 | b;
        if (type == TypeU64)
            return std::to_string(bits);
        if (type == TypeS64)
            return std::to_string(static_cast<int64_t>(bits));
        return DoubleText(std::bit_cast<double>(bits));
    }
    const WordViews views = ViewWord(wire.data());
    switch (type) {
    case TypeS16:
        return views.signed16;
    case TypeHex16:
        return views.hex;
    case TypeBin16:
        return views.binary;
    case TypeCoil:
        return registers[0] ? "1 (on)" : "0 (off)";
    default:
        return views.unsigned16;
    }
}

std::optional<PendingWrite> PendingWriteFor(const EncodedValue& encoded)
{
    if (!encoded.reason.empty() || encoded.frame.size() < static_cast<size_t>(kRequestLength) ||
        encoded.frame.size() > kLongestWriteRequest)
        return std::nullopt;
    PendingWrite write;
    std::copy(encoded.frame.begin(), encoded.frame.end(), write.frame.begin());
    write.length = static_cast<int32_t>(encoded.frame.size());
    return write;
}
