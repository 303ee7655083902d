#include "dataview/value_formats.h"

#include <algorithm>
#include <cstdio>

#include "common/number_rule.h"
#include "common/table_numbers.h"
#include "modbus/frames.h"

namespace {

// The base marker goes before the digits, so blanks in front of them go first.
std::string TrimmedLeft(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t");
    return first == std::string::npos ? std::string() : text.substr(first);
}

}  // namespace

int64_t ListRowsForLength(int64_t length)
{
    return std::clamp<int64_t>(length, 0, kMaxDataRows);
}

const char* TableEntryName(int table)
{
    static const char* const kNames[4] = {"Discrete Input", "Coil", "Input Register", "Holding Register"};
    return table >= TableDiscreteInputs && table <= TableHoldingRegisters ? kNames[table - 1] : "";
}

std::string TableLabel(int table, int64_t start, int64_t row)
{
    const int64_t address = start + row;
    // From 10000 on, the six-digit reference numbers: the table's digit
    // before the whole address, so no label is cut or runs into another
    // table's range.
    if (address >= 10000) {
        static const char kPrefix[5] = {0, '1', '0', '3', '4'};
        if (table < TableDiscreteInputs || table > TableHoldingRegisters)
            return {};
        return kPrefix[table] + std::to_string(address);
    }
    switch (table) {
    case TableDiscreteInputs:
        return std::to_string(10000 + address);
    case TableCoils: {
        std::string digits = std::to_string(address);
        if (digits.size() < 4)
            return std::string(4 - digits.size(), '0') + digits;
        return digits;
    }
    case TableInputRegisters:
        return std::to_string(30000 + address);
    case TableHoldingRegisters:
        return std::to_string(40000 + address);
    default:
        return {};
    }
}

std::string BitText(bool set)
{
    return set ? "1" : "0";
}

std::string RegisterText(uint16_t value, int format)
{
    switch (format) {
    case FormatBinary: {
        std::string bits(16, '0');
        for (int i = 0; i < 16; i++)
            if (value & (0x8000u >> i))
                bits[static_cast<size_t>(i)] = '1';
        return bits;
    }
    case FormatHex: {
        char hex[5];
        std::snprintf(hex, sizeof hex, "%04X", static_cast<unsigned>(value));
        return hex;
    }
    default:
        return std::to_string(static_cast<unsigned>(value));
    }
}

std::string ResponseValueText(int table, const uint8_t* data, int dataCount, int64_t row, int format)
{
    if (!data || row < 0 || dataCount <= 0)
        return {};
    if (table == TableDiscreteInputs || table == TableCoils) {
        const int64_t byte = row / 8;
        if (byte >= dataCount)
            return {};
        return BitText((data[byte] >> (row % 8)) & 1);
    }
    if (table == TableInputRegisters || table == TableHoldingRegisters) {
        if (row >= dataCount / 2)
            return {};
        const uint8_t* at = data + 2 * row;
        return RegisterText(static_cast<uint16_t>(at[0] << 8 | at[1]), format);
    }
    return {};
}

DecodedValues DecodeReadValues(int table, const uint8_t* data, int dataCount, int64_t quantity, int format,
                               int64_t rowLimit)
{
    DecodedValues decoded;
    decoded.rows = std::max<int64_t>(0, std::min(quantity, rowLimit));
    // A response carries its values from the first row on, so the first row
    // without one ends them.
    for (int64_t r = 0; r < decoded.rows; r++) {
        std::string text = ResponseValueText(table, data, dataCount, r, format);
        if (text.empty())
            break;
        decoded.texts.push_back(std::move(text));
    }
    return decoded;
}

std::optional<uint16_t> RegisterValueFromText(const std::string& text, int format)
{
    switch (format) {
    case FormatBinary: {
        const auto n = ParseWholeNumber("%" + TrimmedLeft(text));
        if (!n || n->digits > 16)
            return std::nullopt;
        return static_cast<uint16_t>(n->value);
    }
    case FormatHex: {
        const auto n = ParseWholeNumber("$" + TrimmedLeft(text));
        if (!n || n->digits > 4)
            return std::nullopt;
        return static_cast<uint16_t>(n->value);
    }
    default: {
        // A negative value goes out as its two's complement.
        const auto n = ParseWholeNumber(text);
        if (!n || n->value < -32768 || n->value > 65535)
            return std::nullopt;
        return static_cast<uint16_t>(static_cast<uint64_t>(n->value) & 0xFFFF);
    }
    }
}

std::string RegisterFormatRule(int format)
{
    switch (format) {
    case FormatBinary:
        return "a Binary value of 1 to 16 digits 0 and 1";
    case FormatHex:
        return "a Hex value of 1 to 4 digits 0-9 and A-F";
    default:
        return "a Decimal value from -32768 to 65535";
    }
}

int64_t CoilValueFromText(const std::string& text)
{
    return text == "0" ? kCoilOff : kCoilOn;
}
