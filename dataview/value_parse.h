// Reading the text typed for a value of a type, as the write dialog takes
// it. Pure: text in, the value's bytes or the one line that says why not.
//
// How a text is read (blanks, that is spaces and tabs, around it are
// ignored everywhere):
// - u16, s16, u32, s32, u64, s64: a whole number by the text-to-number rule
//   (number_rule.h): an optional sign, then decimal digits, "$" or "0x" and
//   hex digits, or "%" or "0b" and binary digits; nothing else. It must lie
//   in the type's range: "0xFFFF" is 65535 and so no s16; "-1" is no u16.
// - hex16, bin16: 1 to 4 hex digits, or 1 to 16 binary digits, without
//   sign, as the cell editor reads the Hex and Binary formats; the base's
//   prefix ("0x" or "$", "0b" or "%") may lead them.
// - float32, float64: an optional sign, decimal digits with an optional
//   point and an optional exponent ("1.5", "-.5", "2.", "1e-3", "+4E+2");
//   no hex, no thousands separator, the point only. Rounded to the nearest
//   value of the type. A number the type cannot hold is refused: one too
//   large, as it would go out as an infinity, and one too small, as it
//   would go out as a zero that was not typed. The special values only as
//   typed, in any case: "nan", "inf", "+inf", "-inf", "infinity",
//   "+infinity", "-infinity".
// - coil: "1", "on", "true" or "0", "off", "false", in any case.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "dataview/value_types.h"

// The value's bytes, most significant first, in the first 2 *
// RegisterCountOf(type) bytes (a coil: bytes[1] is 1 for on); or the reason
// there are none.
struct ParsedValue {
    std::string reason;
    std::array<uint8_t, 8> bytes{};
};

// Reasons:
//   "No value typed."
//   "Not a whole number: digits, or \"0x\" or \"$\" with hex digits, or \"0b\" or \"%\" with binary digits."
//   "Not a hex value: digits 0-9 and A-F only."
//   "Not a binary value: digits 0 and 1 only."
//   "Not a number: digits with an optional point and exponent, or nan, inf, -inf."
//   "Not a number: use a point for decimals (1.5, not 1,5)." (a comma typed)
//   "Not a coil value: 0 or 1, off or on, false or true."
//   "Too many digits: hex16 holds at most 4." ("bin16 holds at most 16.")
//   "Out of range: u16 holds 0 to 65535." (each integer type its range)
//   "Too large for float32: it would go out as Infinity; type inf for that."
//   "Too small for float32: it rounds to 0 (underflow); type 0 for that."
//   (float64 alike, "-Infinity", "-inf" and "-0" for a negative value)
ParsedValue ParseTypedValue(std::string_view text, ValueType type);
