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

} // namespace

int64_t TextToNumber(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
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
    uint64_t value = 0;
    for (; i < text.size(); i++) {
        int d = DigitValue(text[i], base);
        if (d < 0)
            break;
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
    }
    if (negative)
        value = 0 - value;
    return static_cast<int64_t>(value);
}

int32_t TextToInt32(std::string_view text)
{
    return static_cast<int32_t>(static_cast<uint32_t>(TextToNumber(text)));
}
