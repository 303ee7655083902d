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
    const uint8_t function = request[kHeaderLength];
    switch (function) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
        // function, address, quantity or value
        return pdu == 5 ? RequestCheck::Serve : RequestCheck::BadLength;
    case 15:
    case 16:
        // function, address, quantity, byte count, then that many bytes
        if (pdu < 6)
            return RequestCheck::BadLength;
        return pdu == 6 + request[kHeaderLength + 5] ? RequestCheck::Serve : RequestCheck::BadLength;
    case 43:
        // function, MEI type, read device id code, object id
        return pdu == 4 ? RequestCheck::Serve : RequestCheck::BadLength;
    default:
        return RequestCheck::BadFunction;
    }
}

int RtuRequestLength(const uint8_t* bytes, size_t size)
{
    if (size < 2)
        return 0;
    switch (bytes[1]) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
        return 8;
    case 15:
    case 16:
        return size < 7 ? 0 : 9 + bytes[6];
    case 43:
        return 7;
    default:
        return -1;
    }
}
