// Address labels and value texts of the four data tables, and the decoding
// of a read response into row texts. Pure: no Qt, no I/O.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The data list never holds more rows than this, whatever the Length field
// says: a typed Length of millions must not exhaust memory.
constexpr int64_t kMaxDataRows = 65535;

// Columns of table 1..4 in the data list.
constexpr int AddressColumnOf(int table)
{
    return 2 * (table - 1);
}
constexpr int ValueColumnOf(int table)
{
    return 2 * (table - 1) + 1;
}

// Rows the list gets for a Length: none for a negative one, at most kMaxDataRows.
int64_t ListRowsForLength(int64_t length);

// Label of row r of table 1..4 for start address S, address a = S+r: below
// 10000, 10000+a, a zero-padded to four digits, 30000+a, 40000+a; from 10000
// on, the table's digit 1, 0, 3 or 4 followed by a ("412345", "012345").
// Empty for any other table number.
std::string TableLabel(int table, int64_t start, int64_t row);

// What one entry of table 1..4 is called: "Discrete Input", "Coil", "Input
// Register", "Holding Register"; empty for any other number.
const char* TableEntryName(int table);

std::string BitText(bool set);

// A 16-bit register as "Binary" (format 1, 16 digits), "Hex" (2, four
// upper-case digits) or "Decimal" (3, unsigned). A selector with no entry
// chosen (or any other index) still polls the table, so it shows Decimal.
std::string RegisterText(uint16_t value, int format);

// Text of list row `row` from the values of a read reply of table 1..4,
// the data[0 .. dataCount) after its byte count: bits LSB-first, registers
// big-endian. Empty when the data hold no value for the row. Never reads at
// or beyond dataCount.
std::string ResponseValueText(int table, const uint8_t* data, int dataCount, int64_t row, int format);

// A read reply's values decoded for the list: rows 0 .. rows - 1 are asked
// for (min(quantity, rowLimit), none for a negative quantity); the data
// hold values for the first texts.size() of them, the rest have none.
struct DecodedValues {
    std::vector<std::string> texts;
    int64_t rows = 0;
};
DecodedValues DecodeReadValues(int table, const uint8_t* data, int dataCount, int64_t quantity, int format,
                               int64_t rowLimit);

// The 16-bit value a typed Holding Registers text stands for, or nothing
// when the text is not wholly such a value (blanks around it aside) by the
// text-to-number rule: Binary 1 to 16 digits 0 and 1, Hex 1 to 4 hex
// digits, Decimal (and no entry chosen) -32768..65535 with the rule's sign
// and "$" / "%" forms, a negative value as its two's complement.
std::optional<uint16_t> RegisterValueFromText(const std::string& text, int format);

// What RegisterValueFromText accepts in a format, for telling the user.
std::string RegisterFormatRule(int format);

// Write Single Coil value of a typed cell text: "0" switches off, anything
// else (also "" and "1") switches on.
int64_t CoilValueFromText(const std::string& text);
