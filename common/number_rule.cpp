#include "common/number_rule.h"

namespace {

int DigitValue(char c, int base)
{
    int v;
    if (c >= '0' && c <= '9')
        v = c - '0';
    else if (c >= 'A' && c <= 'F')
        v = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f')
        v = c - 'a' + 10;
    else
        return -1;
    return v < base ? v : -1;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

// One reading of a text by the rule: where it stopped, how many digits it
// took, the value modulo 2^64 and whether the magnitude overflowed 64 bits.
struct Reading {
    size_t end = 0;
    int digits = 0;
    uint64_t value = 0;
    bool overflow = false;
};

Reading Read(std::string_view text)
{
    Reading r;
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i]))
        i++;

    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        i++;
    }

    int base = 10;
    if (i < text.size() && text[i] == '$') {
        base = 16;
        i++;
    } else if (i < text.size() && text[i] == '%') {
        base = 2;
        i++;
    }

    // Unsigned arithmetic gives the wrapping the rule asks for without
    // signed-overflow undefined behaviour.
    for (; i < text.size(); i++) {
        const int d = DigitValue(text[i], base);
        if (d < 0)
            break;
        const uint64_t next = r.value * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
        if (r.value > (UINT64_MAX - static_cast<uint64_t>(d)) / static_cast<uint64_t>(base))
            r.overflow = true;
        r.value = next;
        r.digits++;
    }
    if (negative)
        r.value = 0 - r.value;
    r.end = i;
    return r;
}

}  // namespace

int64_t TextToNumber(std::string_view text)
{
    return static_cast<int64_t>(Read(text).value);
}

int32_t TextToInt32(std::string_view text)
{
    return static_cast<int32_t>(static_cast<uint32_t>(TextToNumber(text)));
}

std::optional<WholeNumber> ParseWholeNumber(std::string_view text)
{
    size_t end = text.size();
    while (end > 0 && IsBlank(text[end - 1]))
        end--;
    text = text.substr(0, end);

    const Reading r = Read(text);
    if (r.end != text.size() || r.digits == 0 || r.overflow)
        return std::nullopt;
    // Within int64 only: a magnitude above 2^63 would read back with the
    // other sign.
    const auto value = static_cast<int64_t>(r.value);
    const bool negative = text.find('-') != std::string_view::npos;
    if (value != 0 && (value < 0) != negative)
        return std::nullopt;
    return WholeNumber{value, r.digits};
}
