#include "dataview/value_views.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "common/table_numbers.h"
#include "dataview/byte_orders.h"
#include "dataview/value_formats.h"

namespace {

template <typename Float>
std::string ShortestText(Float value)
{
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value > 0 ? "Infinity" : "-Infinity";
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

}  // namespace

WordViews ViewWord(const uint8_t bytes[2])
{
    const auto value = static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
    WordViews views;
    views.unsigned16 = std::to_string(value);
    views.signed16 = std::to_string(static_cast<int16_t>(value));
    char hex[7];
    std::snprintf(hex, sizeof hex, "0x%04X", static_cast<unsigned>(value));
    views.hex = hex;
    // Grouped by four so that a bit's position can be counted at a glance.
    const std::string bits = RegisterText(value, FormatBinary);
    for (size_t i = 0; i < bits.size(); i += 4)
        views.binary += (i ? " " : "") + bits.substr(i, 4);
    return views;
}

uint32_t PairBits(const uint8_t bytes[4], int order)
{
    if (order < 0 || order >= kByteOrderCount)
        return 0;
    uint8_t ordered[4];
    WireToValue(static_cast<ByteOrder>(order), bytes, ordered, 4);
    uint32_t value = 0;
    for (uint8_t b : ordered)
        value = value << 8 | b;
    return value;
}

const char* PairOrderName(int order)
{
    return order < 0 || order >= kByteOrderCount ? "" : ByteOrderLetters(static_cast<ByteOrder>(order), 4);
}

std::array<PairViews, 4> ViewPair(const uint8_t bytes[4])
{
    static_assert(kByteOrderCount == 4, "one view for each order");
    std::array<PairViews, 4> views;
    for (int o = 0; o < kByteOrderCount; o++) {
        const uint32_t value = PairBits(bytes, o);
        PairViews& view = views[static_cast<size_t>(o)];
        view.order = PairOrderName(o);
        view.unsigned32 = std::to_string(value);
        view.signed32 = std::to_string(static_cast<int32_t>(value));
        view.float32 = FloatText(std::bit_cast<float>(value));
    }
    return views;
}

std::string FloatText(float value)
{
    return ShortestText(value);
}

std::string DoubleText(double value)
{
    return ShortestText(value);
}

std::optional<uint16_t> ShownRegisterValue(const std::string& text, int format)
{
    const std::optional<uint16_t> value = RegisterValueFromText(text, format);
    if (!value || RegisterText(*value, format) != text)
        return std::nullopt;
    return value;
}
