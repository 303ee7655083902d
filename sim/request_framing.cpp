#include "sim/request_framing.h"

namespace {

constexpr size_t kHeaderLength = 7;  // transaction, protocol, length, unit

int HeaderLengthField(const uint8_t* bytes)
{
    return (bytes[4] << 8) | bytes[5];
}

// The length field counts the unit id and the PDU: at least a function code,
// at most what fits in 260 bytes.
bool LengthFieldValid(int length)
{
    return length >= 2 && length <= static_cast<int>(kMaxRequestLength) - 6;
}

// The length of a request's PDU by its function code: function, address,
// quantity or value for 1 to 6; then a byte count and that many bytes for
// 15 and 16; function, MEI type, read device id code and object id for 43.
// 0 while count bytes are too few to tell, -1 for a function not served.
int RequestPduLength(const uint8_t* pdu, size_t count)
{
    if (count < 1)
        return 0;
    switch (pdu[0]) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
        return 5;
    case 15:
    case 16:
        return count < 6 ? 0 : 6 + pdu[5];
    case 43:
        return 4;
    default:
        return -1;
    }
}

}  // namespace

StreamKind ClassifyStream(const uint8_t* bytes, size_t size)
{
    if (size >= 3 && bytes[2] != 0)
        return StreamKind::Command;
    if (size >= 4 && bytes[3] != 0)
        return StreamKind::Command;
    if (size < 6)
        return StreamKind::Undecided;
    return LengthFieldValid(HeaderLengthField(bytes)) ? StreamKind::Modbus : StreamKind::Command;
}

int NextRequestLength(const uint8_t* bytes, size_t size)
{
    if (size < 6)
        return 0;
    const int length = HeaderLengthField(bytes);
    if (bytes[2] != 0 || bytes[3] != 0 || !LengthFieldValid(length))
        return -1;
    const size_t total = 6 + static_cast<size_t>(length);
    return size >= total ? static_cast<int>(total) : 0;
}

RequestCheck CheckRequest(const uint8_t* request, int length)
{
    const int pdu = length - static_cast<int>(kHeaderLength);  // function code onwards
    const int expected = RequestPduLength(request + kHeaderLength, static_cast<size_t>(pdu));
    if (expected < 0)
        return RequestCheck::BadFunction;
    return expected == pdu ? RequestCheck::Serve : RequestCheck::BadLength;
}

int RtuRequestLength(const uint8_t* bytes, size_t size)
{
    if (size < 2)
        return 0;
    const int pdu = RequestPduLength(bytes + 1, size - 1);
    return pdu <= 0 ? pdu : 1 + pdu + 2;  // unit id, PDU, CRC
}
