// Address labels and value texts of the four data tables, and the decoding
// of a read response into row texts. Pure: no Qt, no I/O.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The data list never holds more rows than this, whatever the Length field
// says: a typed Length of millions must not exhaust memory.
constexpr int64_t kMaxDataRows = 65535;

// The poll cycle's buffer; nothing beyond it is ever part of a response.
constexpr int kResponseBufferSize = 512;

// Columns of table 1..4 in the data list.
constexpr int AddressColumnOf(int table) { return 2 * (table - 1); }
constexpr int ValueColumnOf(int table) { return 2 * (table - 1) + 1; }

// Rows the list gets for a Length: none for a negative one, at most kMaxDataRows.
int64_t ListRowsForLength(int64_t length);

// Label of row r of table 1..4 for start address S: 10000+S+r, S+r in
// exactly four characters (zero-padded, or its first four), 30000+S+r,
// 40000+S+r. Empty for any other table number.
std::string TableLabel(int table, int64_t start, int64_t row);

std::string BitText(bool set);

// A 16-bit register as "Binary" (format 1, 16 digits), "Hex" (2, four
// upper-case digits) or "Decimal" (3, unsigned). A selector with no entry
// chosen (or any other index) still polls the table, so it shows Decimal.
std::string RegisterText(uint16_t value, int format);

// Text of list row `row` from a read response of table 1..4 held in
// response[0 .. receivedCount): bits LSB-first from offset 9, registers
// big-endian from offset 9. Empty when the received bytes hold no value for
// the row. Never reads at or beyond receivedCount, nor beyond 512 bytes.
std::string ResponseValueText(int table, const uint8_t* response, int receivedCount, int64_t row,
                              int format);

// The texts of rows 0 .. min(quantity, rowLimit) - 1 of a read response;
// none for a negative quantity.
std::vector<std::string> DecodeReadValues(int table, const uint8_t* response, int receivedCount,
                                          int64_t quantity, int format, int64_t rowLimit);

// The register value a typed cell text stands for, read with the
// text-to-number rule in the base of the Holding Registers format: Binary as
// base 2, Hex as base 16, Decimal (and no entry chosen) as typed.
int64_t RegisterValueFromText(const std::string& text, int format);

// Write Single Coil value of a typed cell text: "0" switches off, anything
// else (also "" and "1") switches on.
int64_t CoilValueFromText(const std::string& text);
