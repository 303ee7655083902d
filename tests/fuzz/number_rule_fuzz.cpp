// The text-to-number rule against an independent reading of the same text.
#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/number_rule.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

bool IsDigitOf(char c, int base)
{
    if (base == 2)
        return c == '0' || c == '1';
    if (base == 16)
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    return c >= '0' && c <= '9';
}

// The digits modulo 2^64, by std::from_chars over chunks short enough never
// to overflow, so it shares no arithmetic with the rule's own loop.
uint64_t Modulo64(std::string_view digits, int base)
{
    const size_t chunk = base == 10 ? 18 : base == 16 ? 15 : 60;
    uint64_t value = 0;
    while (!digits.empty()) {
        std::string_view part = digits.substr(0, chunk);
        digits.remove_prefix(part.size());
        uint64_t partValue = 0;
        auto result = std::from_chars(part.data(), part.data() + part.size(), partValue, base);
        FUZZ_CHECK(result.ec == std::errc() && result.ptr == part.data() + part.size());
        uint64_t scale = 1;
        for (size_t i = 0; i < part.size(); i++)
            scale *= static_cast<uint64_t>(base);
        value = value * scale + partValue;
    }
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const int64_t value = TextToNumber(text);

    // Independent reading: blanks, sign, base marker, digit run.
    size_t i = text.find_first_not_of(" \t");
    if (i == std::string::npos)
        i = text.size();
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    int base = 10;
    if (i < text.size() && (text[i] == '$' || text[i] == '%'))
        base = text[i++] == '$' ? 16 : 2;
    size_t end = i;
    while (end < text.size() && IsDigitOf(text[end], base))
        end++;
    uint64_t expected = Modulo64(std::string_view(text).substr(i, end - i), base);
    if (negative)
        expected = 0 - expected;
    FUZZ_CHECK(static_cast<uint64_t>(value) == expected);

    FUZZ_CHECK(TextToInt32(text) == static_cast<int32_t>(static_cast<uint32_t>(expected)));
    // Leading blanks and anything after the digits change nothing.
    FUZZ_CHECK(TextToNumber(" \t " + text) == value);
    FUZZ_CHECK(TextToNumber(text + "x") == value);
    FUZZ_CHECK(TextToNumber(text + "\n9") == value);
    // A whole number is the rule's own reading, never a wrapped one.
    if (const auto whole = ParseWholeNumber(text)) {
        FUZZ_CHECK(whole->value == value && whole->digits == static_cast<int>(end - i));
        FUZZ_CHECK(negative ? value <= 0 : value >= 0);
    }
    return 0;
}
