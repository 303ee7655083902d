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
// took, the sign, the magnitude modulo 2^64 and whether it overflowed 64 bits.
struct Reading {
    size_t end = 0;
    int digits = 0;
    bool negative = false;
    uint64_t magnitude = 0;
    bool overflow = false;
};

Reading Read(std::string_view text)
{
    Reading r;
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i]))
        i++;

    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        r.negative = text[i] == '-';
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
        const uint64_t next = r.magnitude * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
        if (r.magnitude > (UINT64_MAX - static_cast<uint64_t>(d)) / static_cast<uint64_t>(base))
            r.overflow = true;
        r.magnitude = next;
        r.digits++;
    }
    r.end = i;
    return r;
}

}  // namespace

int64_t TextToNumber(std::string_view text)
{
    const Reading r = Read(text);
    return static_cast<int64_t>(r.negative ? 0 - r.magnitude : r.magnitude);
}

int32_t TextToInt32(std::string_view text)
{
    return static_cast<int32_t>(static_cast<uint32_t>(TextToNumber(text)));
}

std::optional<WholeMagnitude> ParseWholeMagnitude(std::string_view text)
{
    size_t end = text.size();
    while (end > 0 && IsBlank(text[end - 1]))
        end--;
    text = text.substr(0, end);

    const Reading r = Read(text);
    if (r.end != text.size() || r.digits == 0)
        return std::nullopt;
    return WholeMagnitude{r.magnitude, r.negative, r.overflow, r.digits};
}

std::optional<WholeNumber> ParseWholeNumber(std::string_view text)
{
    const std::optional<WholeMagnitude> m = ParseWholeMagnitude(text);
    // Within int64 only: a larger magnitude would read back with the other
    // sign.
    constexpr uint64_t kHighest = static_cast<uint64_t>(INT64_MAX);
    if (!m || m->overflow || m->magnitude > (m->negative ? kHighest + 1 : kHighest))
        return std::nullopt;
    return WholeNumber{static_cast<int64_t>(m->negative ? 0 - m->magnitude : m->magnitude), m->digits};
}
