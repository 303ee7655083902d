#include "modbus/rtu_frames.h"

#include <algorithm>
#include <cstring>

#include "modbus/device_id.h"
#include "modbus/frames.h"

namespace {

constexpr int kTcpHeaderBytes = 6;  // transaction id, protocol id, length

bool IsRead(int function)
{
    return function >= 1 && function <= 4;
}

bool IsWrite(int function)
{
    return function == 5 || function == 6 || function == 15 || function == 16;
}

// Reads and writes are 8 bytes at least, a device identification 7.
bool LongEnough(const uint8_t* request, int length)
{
    if (length >= 2 && request[1] == kFunctionDeviceId)
        return length >= kRtuDeviceIdRequestLength;
    return length >= kRtuRequestLength;
}

// The byte count a read of the request's quantity needs; -1 for a quantity
// no reply can carry (more than 255 data bytes).
int ExpectedByteCount(const uint8_t* request)
{
    const int quantity = request[4] << 8 | request[5];
    const int count = request[1] <= 2 ? (quantity + 7) / 8 : 2 * quantity;
    return count <= 255 ? count : -1;
}

}  // namespace

uint16_t RtuCrc(const uint8_t* bytes, int count)
{
    uint16_t crc = 0xFFFF;
    for (int i = 0; i < count; i++) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; bit++)
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
    }
    return crc;
}

bool RtuCrcValid(const uint8_t* frame, int count)
{
    if (count < kRtuCrcLength + 1)
        return false;
    const uint16_t crc = RtuCrc(frame, count - kRtuCrcLength);
    return frame[count - 2] == (crc & 0xFF) && frame[count - 1] == crc >> 8;
}

int BuildRtuRequest(uint8_t* out, const uint8_t* tcpRequest, int tcpLength)
{
    if (tcpLength < kTcpHeaderBytes + 2 || tcpLength > kMaxFrameLength)
        return 0;
    const int body = tcpLength - kTcpHeaderBytes;
    std::memmove(out, tcpRequest + kTcpHeaderBytes, static_cast<size_t>(body));
    const uint16_t crc = RtuCrc(out, body);
    out[body] = static_cast<uint8_t>(crc & 0xFF);
    out[body + 1] = static_cast<uint8_t>(crc >> 8);
    return body + kRtuCrcLength;
}

int RtuReplyLength(const uint8_t* bytes, int count)
{
    if (count < 2)
        return 0;
    const int function = bytes[1];
    if (function & 0x80)
        return kRtuExceptionLength;
    if (IsWrite(function))
        return kRtuWriteReplyLength;
    if (function == kFunctionDeviceId) {
        // Told by walking the object list, the PDU after the unit id.
        const int pdu = DeviceIdPduLength(bytes + 1, count - 1);
        if (pdu <= 0)
            return pdu;
        return 1 + pdu + kRtuCrcLength;
    }
    if (!IsRead(function))
        return -1;
    if (count < kRtuDataOffset)
        return 0;
    return kRtuDataOffset + bytes[2] + kRtuCrcLength;
}

int RtuLongestReply(const uint8_t* request)
{
    if (request[1] == kFunctionDeviceId)
        return 1 + kMaxPduLength + kRtuCrcLength;
    if (!IsRead(request[1]))
        return kRtuWriteReplyLength;
    const int quantity = request[4] << 8 | request[5];
    const int count = request[1] <= 2 ? (quantity + 7) / 8 : 2 * quantity;
    return std::min(kRtuDataOffset + count + kRtuCrcLength, kRtuMaxFrameLength);
}

ReplyJudgement JudgeRtuReply(const uint8_t* request, int requestLength, const uint8_t* frame, int count)
{
    if (!LongEnough(request, requestLength) || count < 4)
        return {ReplyInvalid, FaultLength};
    if (!RtuCrcValid(frame, count))
        return {ReplyInvalid, FaultCrc};
    if (frame[0] != request[0])
        return {ReplyInvalid, FaultUnitId};

    const int function = request[1];
    if (frame[1] == (function | 0x80)) {
        if (count == kRtuExceptionLength)
            return {ReplyException, FaultNone};
        return {ReplyInvalid, FaultLength};
    }
    if (frame[1] != function)
        return {ReplyInvalid, FaultFunctionCode};

    if (function == kFunctionDeviceId) {
        DeviceIdReply parsed;
        if (!ParseDeviceIdReply(frame + 1, count - 1 - kRtuCrcLength, &parsed))
            return {ReplyInvalid, FaultObjectList};
        return {ReplyValid, FaultNone};
    }
    if (!IsRead(function)) {
        // 5, 6: the whole request comes back; 15, 16: its address and
        // quantity. Either way the first six bytes, and the CRC follows.
        const bool echo = count == kRtuWriteReplyLength && std::memcmp(frame, request, 6) == 0;
        return echo ? ReplyJudgement{ReplyValid, FaultNone} : ReplyJudgement{ReplyInvalid, FaultNotEcho};
    }
    const int expected = ExpectedByteCount(request);
    if (frame[2] != expected || count != kRtuDataOffset + expected + kRtuCrcLength)
        return {ReplyInvalid, FaultByteCount};
    return {ReplyValid, FaultNone};
}

bool RtuIsBroadcast(const uint8_t* request, int length)
{
    return length >= kRtuRequestLength && request[0] == kRtuBroadcastUnit;
}

bool RtuReadRefused(const uint8_t* request, int length)
{
    return RtuIsBroadcast(request, length) && IsRead(request[1]);
}
