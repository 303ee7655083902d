// A register value read every way an engineer may need it: signed and
// unsigned, hex and binary, and two registers taken together as a 32-bit
// integer or float in the four usual word and byte orders. Pure: bytes in,
// texts out; no Qt.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

// One register as it came on the wire, high byte first.
struct WordViews {
    std::string unsigned16;  // "65535"
    std::string signed16;    // "-1"
    std::string hex;         // "0xFFFF"
    std::string binary;      // "1111 1111 1111 1111"
};
WordViews ViewWord(const uint8_t bytes[2]);

// Two consecutive registers in each byte order of byte_orders.h, in its
// order. A B are the first register's bytes, C D the second's: "ABCD" is
// big-endian, "CDAB" swaps the words, "BADC" the bytes within each word,
// "DCBA" both.
struct PairViews {
    const char* order = "";
    std::string unsigned32;
    std::string signed32;
    std::string float32;  // shortest text that reads back to the same float
};
std::array<PairViews, 4> ViewPair(const uint8_t bytes[4]);

// The 32 bits ViewPair reads from the bytes in its order o (0 "ABCD",
// 1 "CDAB", 2 "BADC", 3 "DCBA"), and that order's name; 0 and "" for any
// other o. For those that need the number rather than its texts.
uint32_t PairBits(const uint8_t bytes[4], int order);
const char* PairOrderName(int order);

// A float as the shortest decimal text that reads back to it ("1", "-2.5",
// "1e+10"); "NaN", "Infinity" and "-Infinity" for the special values.
std::string FloatText(float value);
// The same for a double ("0.1", "1e+300").
std::string DoubleText(double value);

// The register value behind a cell text shown in a format ("Binary" 1,
// "Hex" 2, "Decimal" 3 or no entry): only a text exactly as the format
// writes it counts, so a text left from another format is not misread.
std::optional<uint16_t> ShownRegisterValue(const std::string& text, int format);
