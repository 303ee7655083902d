#include "dataview/value_formats.h"

#include <algorithm>
#include <cstdio>

#include "common/number_rule.h"
#include "common/records.h"
#include "modbus/frames.h"

int64_t ListRowsForLength(int64_t length)
{
    return std::clamp<int64_t>(length, 0, kMaxDataRows);
}

std::string TableLabel(int table, int64_t start, int64_t row)
{
    const int64_t address = start + row;
    switch (table) {
    case TableDiscreteInputs:
        return std::to_string(10000 + address);
    case TableCoils: {
        std::string digits = std::to_string(address);
        if (digits.size() < 4)
            return std::string(4 - digits.size(), '0') + digits;
        return digits.substr(0, 4);
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

std::string ResponseValueText(int table, const uint8_t* response, int receivedCount, int64_t row,
                              int format)
{
    if (!response || row < 0)
        return {};
    // Bytes past what one receive delivered may be a previous response's.
    const int64_t received = std::min(receivedCount, kResponseBufferSize);
    const int64_t dataBytes = received - kResponseDataOffset;
    if (dataBytes <= 0)
        return {};

    if (table == TableDiscreteInputs || table == TableCoils) {
        const int64_t byte = row / 8;
        if (byte >= dataBytes)
            return {};
        return BitText((response[kResponseDataOffset + byte] >> (row % 8)) & 1);
    }
    if (table == TableInputRegisters || table == TableHoldingRegisters) {
        if (row >= dataBytes / 2)
            return {};
        const uint8_t* at = response + kResponseDataOffset + 2 * row;
        return RegisterText(static_cast<uint16_t>(at[0] << 8 | at[1]), format);
    }
    return {};
}

std::vector<std::string> DecodeReadValues(int table, const uint8_t* response, int receivedCount,
                                          int64_t quantity, int format, int64_t rowLimit)
{
    const int64_t rows = std::max<int64_t>(0, std::min(quantity, rowLimit));
    std::vector<std::string> texts;
    texts.reserve(static_cast<size_t>(std::min(rows, kMaxDataRows)));
    for (int64_t r = 0; r < rows; r++)
        texts.push_back(ResponseValueText(table, response, receivedCount, r, format));
    return texts;
}

int64_t RegisterValueFromText(const std::string& text, int format)
{
    switch (format) {
    case FormatBinary: return TextToNumber("%" + text);
    case FormatHex: return TextToNumber("$" + text);
    default: return TextToNumber(text);
    }
}

int64_t CoilValueFromText(const std::string& text)
{
    return text == "0" ? kCoilOff : kCoilOn;
}
