// A value typed for a Coils or Holding Registers address, encoded as the
// registers (or coil state) and the exact request that write it, or the one
// line that says why it cannot go out. Pure: texts in, bytes out; no Qt.
// How the text is read is value_parse.h's; the request, write_request.h's.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dataview/byte_orders.h"
#include "dataview/value_types.h"

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
//   and those of ParseTypedValue (value_parse.h) for the text.
EncodedValue EncodeValue(const ValueWrite& write);

// What registers (RegisterCountOf(type) of them, in address order) read
// back as in the type and order, as the hover tool tip shows it: decimal
// for u/s types, "0x001F" for hex16, "0000 0000 0001 1111" for bin16, the
// shortest text that reads back to the same float ("123.456", "NaN",
// "-Infinity"), "1 (on)" or "0 (off)" for a coil. Empty for a type or
// order that is none of the above.
std::string ValueReadBack(ValueType type, ByteOrder order, const uint16_t* registers);

// The text that, typed for the type and order, writes registers as they
// are (RegisterCountOf(type) of them): ValueReadBack's, but "0" or "1" for
// a coil and the 16 digits without blanks for bin16. Empty as
// ValueReadBack.
std::string ValueEditText(ValueType type, ByteOrder order, const uint16_t* registers);
