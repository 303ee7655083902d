#include "dataview/value_parse.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <limits>
#include <optional>

#include "common/number_rule.h"

namespace {

constexpr const char* kNotWhole =
    "Not a whole number: digits, or \"0x\" or \"$\" with hex digits, or \"0b\" or \"%\" with binary digits.";
constexpr const char* kNotFloat = "Not a number: digits with an optional point and exponent, or nan, inf, -inf.";

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

void PutBits(ParsedValue& parsed, uint64_t bits, int width)
{
    for (int i = 0; i < width; i++)
        parsed.bytes[static_cast<size_t>(i)] = static_cast<uint8_t>(bits >> (8 * (width - 1 - i)));
}

// "0x" and "0b" (either case) after an optional sign, as engineers type
// them, become the number rule's "$" and "%".
std::string WithRulePrefix(std::string_view text)
{
    std::string rule(text);
    const size_t at = !rule.empty() && (rule[0] == '+' || rule[0] == '-') ? 1 : 0;
    if (rule.size() > at + 1 && rule[at] == '0') {
        const char marker = static_cast<char>(rule[at + 1] | 0x20);
        if (marker == 'x' || marker == 'b')
            rule.replace(at, 2, marker == 'x' ? "$" : "%");
    }
    return rule;
}

// u16 .. s64 by the text-to-number rule, within the type's range.
ParsedValue ParseInteger(std::string_view text, ValueType type, int width)
{
    ParsedValue parsed;
    const int bits = 8 * width;
    const bool isSigned = type == TypeS16 || type == TypeS32 || type == TypeS64;
    const uint64_t highest = isSigned ? (uint64_t{1} << (bits - 1)) - 1 : UINT64_MAX >> (64 - bits);
    const uint64_t lowestMagnitude = isSigned ? highest + 1 : 0;  // of a negative value

    const std::optional<WholeMagnitude> n = ParseWholeMagnitude(WithRulePrefix(text));
    if (!n) {
        parsed.reason = kNotWhole;
        return parsed;
    }
    if (n->overflow || n->magnitude > (n->negative ? lowestMagnitude : highest)) {
        const std::string low = isSigned ? "-" + std::to_string(lowestMagnitude) : "0";
        parsed.reason = "Out of range: " + std::string(ValueTypeName(type)) + " holds " + low + " to " +
                        std::to_string(highest) + ".";
        return parsed;
    }
    PutBits(parsed, n->negative ? 0 - n->magnitude : n->magnitude, width);
    return parsed;
}

// hex16 and bin16: bare digits of the base, as the cell editor takes them.
ParsedValue ParseDigits(std::string_view text, int base)
{
    ParsedValue parsed;
    const bool hex = base == 16;
    const char* const notDigits =
        hex ? "Not a hex value: digits 0-9 and A-F only." : "Not a binary value: digits 0 and 1 only.";
    // The base's prefix may lead: "0x" or "$", "0b" or "%". Not "0b" for
    // hex, where it is the digits 0 and B.
    for (std::string_view prefix : {hex ? "0x" : "0b", hex ? "0X" : "0B", hex ? "$" : "%"})
        if (text.starts_with(prefix)) {
            text.remove_prefix(prefix.size());
            break;
        }
    if (text.empty()) {
        parsed.reason = notDigits;
        return parsed;
    }
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
            parsed.reason = notDigits;
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
ParsedValue ParseFloat(std::string_view text, const char* typeName)
{
    ParsedValue parsed;
    Float value = 0;
    const std::string lower = Lower(text);
    if (lower == "nan") {
        value = std::numeric_limits<Float>::quiet_NaN();
    } else if (lower == "inf" || lower == "+inf" || lower == "infinity" || lower == "+infinity") {
        value = std::numeric_limits<Float>::infinity();
    } else if (lower == "-inf" || lower == "-infinity") {
        value = -std::numeric_limits<Float>::infinity();
    } else if (!IsDecimalNumber(text)) {
        // "1,5": a decimal comma, as many locales write it.
        parsed.reason = text.find(',') != std::string_view::npos
                            ? "Not a number: use a point for decimals (1.5, not 1,5)."
                            : kNotFloat;
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
            // Closer to zero than the type's smallest value: it would go
            // out as a zero that was never typed.
            parsed.reason = std::string("Too small for ") + typeName + ": it rounds to " + (negative ? "-0" : "0") +
                            " (underflow); type " + (negative ? "-0" : "0") + " for that.";
            return parsed;
        } else if (result.ec != std::errc() || result.ptr != unsigned_.data() + unsigned_.size()) {
            parsed.reason = kNotFloat;
            return parsed;
        }
        if (negative)
            value = -value;
    }
    PutBits(parsed, std::bit_cast<Bits>(value), sizeof(Bits));
    return parsed;
}

ParsedValue ParseCoil(std::string_view text)
{
    ParsedValue parsed;
    const std::string lower = Lower(text);
    if (lower == "1" || lower == "on" || lower == "true")
        parsed.bytes[1] = 1;
    else if (lower != "0" && lower != "off" && lower != "false")
        parsed.reason = "Not a coil value: 0 or 1, off or on, false or true.";
    return parsed;
}

}  // namespace

ParsedValue ParseTypedValue(std::string_view text, ValueType type)
{
    text = Trimmed(text);
    if (text.empty()) {
        ParsedValue parsed;
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
