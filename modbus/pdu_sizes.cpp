#include "modbus/pdu_sizes.h"

namespace {

// Device identification: its function code and MEI type; the object list
// starts after the number of objects.
constexpr int kDeviceIdFunction = 43;
constexpr int kDeviceIdMeiType = 14;
constexpr int kNumberOfObjectsOffset = 6;
constexpr int kDeviceIdListStart = 7;

int LengthOf(const PduShape& shape, const uint8_t* pdu, int count)
{
    switch (shape.count) {
    case CountNone:
        return shape.fixed;
    case CountByte:
        return count < shape.fixed ? 0 : shape.fixed + pdu[shape.fixed - 1];
    case CountObjects:
        break;
    }
    return DeviceIdPduLength(pdu, count);
}

}  // namespace

int RequestPduLengthOf(const uint8_t* pdu, int count)
{
    if (count < 1)
        return 0;
    const FunctionSizes row = FunctionSizesOf(pdu[0]);
    return row.function != 0 ? LengthOf(row.request, pdu, count) : -1;
}

int ReplyPduLengthOf(const uint8_t* pdu, int count)
{
    if (count < 1)
        return 0;
    if (pdu[0] & 0x80)
        return kExceptionPduLength;
    const FunctionSizes row = FunctionSizesOf(pdu[0]);
    return row.function != 0 ? LengthOf(row.reply, pdu, count) : -1;
}

int DeviceIdPduLength(const uint8_t* pdu, int count)
{
    if (count < 1)
        return 0;
    if (pdu[0] != kDeviceIdFunction)
        return -1;
    if (count < 2)
        return 0;
    if (pdu[1] != kDeviceIdMeiType)
        return -1;
    if (count <= kNumberOfObjectsOffset)
        return 0;
    // Each object: its id, its length, then that many bytes.
    int at = kDeviceIdListStart;
    for (int left = pdu[kNumberOfObjectsOffset]; left > 0; left--) {
        if (at + 2 > kMaxPduLength)
            return -1;
        if (count < at + 2)
            return 0;
        at += 2 + pdu[at + 1];
    }
    return at <= kMaxPduLength ? at : -1;
}
