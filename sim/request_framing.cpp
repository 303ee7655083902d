#include "sim/request_framing.h"

#include "modbus/pdu_sizes.h"

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
    const int expected = RequestPduLengthOf(request + kHeaderLength, pdu);
    if (expected < 0)
        return RequestCheck::BadFunction;
    return expected == pdu ? RequestCheck::Serve : RequestCheck::BadLength;
}

int RtuRequestLength(const uint8_t* bytes, size_t size)
{
    if (size < 2)
        return 0;
    const int pdu = RequestPduLengthOf(bytes + 1, static_cast<int>(size - 1));
    return pdu <= 0 ? pdu : 1 + pdu + 2;  // unit id, PDU, CRC
}
