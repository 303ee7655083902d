#include "modbus/read_split.h"

#include <algorithm>
#include <cstring>

#include "common/field_limits.h"

ReadSplit SplitRead(int64_t address, int64_t quantity, int64_t limit)
{
    ReadSplit split;
    split.address = address;
    split.limit = std::max<int64_t>(limit, 1);
    if (quantity <= split.limit) {
        split.endRow = quantity;
        split.parts = 1;
        return split;
    }
    split.firstRow = std::clamp<int64_t>(-address, 0, quantity);
    split.endRow = std::clamp<int64_t>(kHighestAddress + 1 - address, split.firstRow, quantity);
    split.parts = (split.endRow - split.firstRow + split.limit - 1) / split.limit;
    return split;
}

ReadPart PartOf(const ReadSplit& split, int64_t index)
{
    ReadPart part;
    part.firstRow = split.firstRow + index * split.limit;
    part.address = split.address + part.firstRow;
    part.quantity = std::min(split.limit, split.endRow - part.firstRow);
    return part;
}

void PlacePartValues(bool bits, const uint8_t* data, int count, const ReadPart& part, uint8_t* table,
                     int64_t tableBytes)
{
    if (!data || count <= 0 || part.quantity <= 0 || part.firstRow < 0)
        return;
    if (!bits) {
        const int64_t at = 2 * part.firstRow;
        const int64_t bytes = std::min({2 * part.quantity, int64_t{count}, tableBytes - at});
        if (bytes > 0)
            std::memcpy(table + at, data, static_cast<size_t>(bytes));
        return;
    }
    const int64_t values = std::min(part.quantity, int64_t{count} * 8);
    for (int64_t i = 0; i < values; i++) {
        const int64_t row = part.firstRow + i;
        if (row / 8 >= tableBytes)
            break;
        const auto mask = static_cast<uint8_t>(1 << (row % 8));
        if (data[i / 8] >> (i % 8) & 1)
            table[row / 8] |= mask;
        else
            table[row / 8] &= static_cast<uint8_t>(~mask);
    }
}
