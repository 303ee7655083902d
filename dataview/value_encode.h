// A value typed for a Coils or Holding Registers address, encoded as the
// registers (or coil state) and the exact request that write it, or the one
// line that says why it cannot go out. Pure: texts in, bytes out; no Qt.
//
// How a text is read (blanks, that is spaces and tabs, around it are
// ignored everywhere):
// - u16, s16, u32, s32, u64, s64: a whole number by the text-to-number rule
//   (number_rule.h): an optional sign, then decimal digits, "$" and hex
//   digits, or "%" and binary digits; nothing else. It must lie in the
//   type's range: "$FFFF" is 65535 and so no s16; "-1" is no u16.
// - hex16, bin16: 1 to 4 hex digits, or 1 to 16 binary digits, without
//   sign or prefix, as the cell editor reads the Hex and Binary formats.
// - float32, float64: an optional sign, decimal digits with an optional
//   point and an optional exponent ("1.5", "-.5", "2.", "1e-3", "+4E+2");
//   no hex, no thousands separator, the point only. Rounded to the nearest
//   value of the type; one too small for the type becomes zero of its sign,
//   one too large is refused, as it would go out as an infinity. The
//   special values only as typed, in any case: "nan", "inf", "+inf",
//   "-inf", "infinity", "+infinity", "-infinity".
// - coil: "1", "on", "true" or "0", "off", "false", in any case.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/pending_write.h"
#include "dataview/byte_orders.h"

// In the order the write dialog lists them; a coil has its own list.
enum ValueType {
    TypeU16,
    TypeS16,
    TypeHex16,
    TypeBin16,
    TypeU32,
    TypeS32,
    TypeFloat32,
    TypeU64,
    TypeS64,
    TypeFloat64,
    TypeCoil
};
constexpr int kValueTypeCount = 11;

// "u16", "s16", "hex16", "bin16", "u32", "s32", "float32", "u64", "s64",
// "float64", "coil".
const char* ValueTypeName(ValueType type);
std::optional<ValueType> ValueTypeFromName(std::string_view name);

// Registers the type takes: 1, 2 or 4; a coil is one coil.
int RegisterCountOf(ValueType type);

// The functions that can write the type, the first being the usual one:
// 6 and 16 for a 16-bit type, 16 for 32 and 64 bits, 5 and 15 for a coil.
std::vector<int> FunctionsFor(ValueType type);

// "5 Write Single Coil", "6 Write Single Register", "15 Write Multiple
// Coils", "16 Write Multiple Registers"; empty for any other function.
const char* WriteFunctionName(int function);

// One write as the dialog asks for it.
struct ValueWrite {
    ValueType type = TypeU16;
    ByteOrder order = OrderABCD;  // used by 32 and 64-bit types only
    int function = 6;
    std::string text;
    int64_t unit = 1;       // its low 8 bits go out
    int64_t address = 0;    // address number of the (first) register or coil
    bool offsetOn = false;  // the address goes out one less
    // Address numbers of the block shown: the write must stay inside it.
    int64_t blockFirst = 0;
    int64_t blockLast = 65535;
};

// The write, ready to go, or why not.
struct EncodedValue {
    std::string reason;               // one line; empty when it can go out
    std::vector<uint16_t> registers;  // in address order; a coil as 0 or 1
    std::vector<std::string> labels;  // each one's label: "40001", "0001"
    std::vector<uint8_t> frame;       // the request, as the log will show it
    std::string readBack;             // what the device will read back
};

// Checks, in this order, that a type (and for 32 and 64 bits an order) is
// chosen, that the function fits the type, that the addresses go out inside
// 0..65535 and lie in the block, and that the text is a value of the type;
// the first failure is the reason, and nothing else is filled then.
//
// Reasons:
//   "No type chosen." / "No byte order chosen." (a 32 or 64-bit type)
//   "Function F cannot write type T: use 6 or 16." (or "use 16.", "use 5 or 15.")
//   "Would go out at address A, outside 0 to 65535."
//   "Would go out at addresses A to B, outside 0 to 65535."
//   "Register L is outside the block shown, F to L." ("Coil ..." for a coil)
//   "Registers L to M run past the block shown, F to L."
//   "No value typed."
//   "Not a whole number: digits, or \"$\" with hex digits, or \"%\" with binary digits."
//   "Not a hex value: digits 0-9 and A-F only."
//   "Not a binary value: digits 0 and 1 only."
//   "Not a number: digits with an optional point and exponent, or nan, inf, -inf."
//   "Not a coil value: 0 or 1, off or on, false or true."
//   "Too many digits: hex16 holds at most 4." ("bin16 holds at most 16.")
//   "Out of range: u16 holds 0 to 65535." (each integer type its range)
//   "Too large for float32: it would go out as Infinity; type inf for that."
//   (float64 alike, "-Infinity" and "-inf" for a negative value)
EncodedValue EncodeValue(const ValueWrite& write);

// What registers (RegisterCountOf(type) of them, in address order) read
// back as in the type and order, as the hover tool tip shows it: decimal
// for u/s types, "0x001F" for hex16, "0000 0000 0001 1111" for bin16, the
// shortest text that reads back to the same float ("123.456", "NaN",
// "-Infinity"), "1 (on)" or "0 (off)" for a coil. Empty for a type or
// order that is none of the above.
std::string ValueReadBack(ValueType type, ByteOrder order, const uint16_t* registers);

// The queue entry for an encoded write; nothing when it has a reason.
std::optional<PendingWrite> PendingWriteFor(const EncodedValue& encoded);
