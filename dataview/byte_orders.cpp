#include "dataview/byte_orders.h"

namespace {

constexpr const char* kNames4[kByteOrderCount] = {"ABCD (big-endian)", "CDAB (word swap)", "BADC (byte swap)",
                                                  "DCBA (little-endian)"};
constexpr const char* kNames8[kByteOrderCount] = {"ABCDEFGH (big-endian)", "GHEFCDAB (word swap)",
                                                  "BADCFEHG (byte swap)", "HGFEDCBA (little-endian)"};
constexpr const char* kLetters4[kByteOrderCount] = {"ABCD", "CDAB", "BADC", "DCBA"};
constexpr const char* kLetters8[kByteOrderCount] = {"ABCDEFGH", "GHEFCDAB", "BADCFEHG", "HGFEDCBA"};

// Which of the value's bytes goes to wire byte i.
int ValueIndex(ByteOrder order, int i, int width)
{
    const int words = width / 2;
    int word = i / 2;
    int byte = i % 2;
    if (order == OrderCDAB || order == OrderDCBA)
        word = words - 1 - word;
    if (order == OrderBADC || order == OrderDCBA)
        byte = 1 - byte;
    return 2 * word + byte;
}

bool Valid(ByteOrder order, int width)
{
    return order >= OrderABCD && order <= OrderDCBA && width >= 2 && width <= 8 && width % 2 == 0;
}

}  // namespace

const char* ByteOrderName(ByteOrder order, int width)
{
    if (order < OrderABCD || order > OrderDCBA || (width != 4 && width != 8))
        return "";
    return width == 4 ? kNames4[order] : kNames8[order];
}

const char* ByteOrderLetters(ByteOrder order, int width)
{
    if (order < OrderABCD || order > OrderDCBA || (width != 4 && width != 8))
        return "";
    return width == 4 ? kLetters4[order] : kLetters8[order];
}

void ValueToWire(ByteOrder order, const uint8_t* value, uint8_t* wire, int width)
{
    if (!Valid(order, width))
        return;
    for (int i = 0; i < width; i++)
        wire[i] = value[ValueIndex(order, i, width)];
}

void WireToValue(ByteOrder order, const uint8_t* wire, uint8_t* value, int width)
{
    if (!Valid(order, width))
        return;
    for (int i = 0; i < width; i++)
        value[ValueIndex(order, i, width)] = wire[i];
}
