// The four byte orders in which devices lay a 32 or 64-bit value into
// consecutive registers: one implementation for the hover tool tip, which
// decodes, and for the write dialog, which encodes. Pure; no Qt.
#pragma once

#include <cstdint>

// With the value's bytes A B C D (E F G H), A the most significant:
// ABCD(EFGH) as they are, CDAB (GHEFCDAB) the registers in reverse order,
// BADC (BADCFEHG) the two bytes within each register swapped, DCBA
// (HGFEDCBA) both.
enum ByteOrder { OrderABCD, OrderCDAB, OrderBADC, OrderDCBA };
constexpr int kByteOrderCount = 4;

// "ABCD (big-endian)", "CDAB (word swap)", "BADC (byte swap)",
// "DCBA (little-endian)" for a width of 4 bytes; "ABCDEFGH (big-endian)",
// "GHEFCDAB (word swap)", "BADCFEHG (byte swap)", "HGFEDCBA
// (little-endian)" for 8. Empty for any other order or width.
const char* ByteOrderName(ByteOrder order, int width = 4);

// The order's letters for 4 or 8 bytes: "CDAB", "GHEFCDAB". Empty for any
// other width.
const char* ByteOrderLetters(ByteOrder order, int width);

// Between the value's bytes (most significant first) and the wire's
// (registers in address order, each high byte first), for an even width of
// 2 to 8 bytes. Each order is its own inverse, but the two directions are
// kept apart so that callers say what they mean.
void ValueToWire(ByteOrder order, const uint8_t* value, uint8_t* wire, int width);
void WireToValue(ByteOrder order, const uint8_t* wire, uint8_t* value, int width);
