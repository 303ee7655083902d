// The one rule by which a field or cell text becomes a number.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// Leading spaces and tabs are skipped, then one optional "-" or "+".
// "$" introduces hexadecimal digits, "%" base-2 digits, anything else is read
// as decimal. Reading stops at the first character that is not a digit of
// that base; no digits give 0. The value accumulates as a signed 64-bit
// integer that wraps on overflow (two's complement) and is negated for "-".
int64_t TextToNumber(std::string_view text);

// The low 32 bits of TextToNumber, which is what most callers use.
int32_t TextToInt32(std::string_view text);

struct WholeNumber {
    int64_t value = 0;
    int digits = 0;  // digits read, leading zeros included
};

// The same rule for a text that must be a number and nothing else, as a
// value bound for a device: blanks may surround it, but every other
// character must be read by the rule, there must be at least one digit, and
// the value must fit a signed 64-bit integer without wrapping.
std::optional<WholeNumber> ParseWholeNumber(std::string_view text);

// The same rule for a whole number as a sign and a magnitude, so that values
// beyond int64 (an unsigned 64-bit register) can be told: nothing when the
// text is not wholly a number (as ParseWholeNumber); overflow set when the
// magnitude passes 64 bits, which then holds only its low 64 bits.
struct WholeMagnitude {
    uint64_t magnitude = 0;
    bool negative = false;  // a "-" was typed, even before a zero
    bool overflow = false;
    int digits = 0;
};
std::optional<WholeMagnitude> ParseWholeMagnitude(std::string_view text);
