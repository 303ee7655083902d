// Request frames and reply judging over arbitrary field values and
// replies: frames are exactly 12 bytes with the fixed header, 16-bit fields
// match an independent digit count, a reply is taken only with its
// request's ids, and collecting never overruns what it was given. The same
// for RTU: requests carry the PDU and a CRC that checks, a reply is taken
// only whole, with a right CRC and the request's unit and function. A device
// identification's object list is taken only when it fills its frame, and
// collecting objects from any reply ends.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "modbus/device_id.h"
#include "modbus/frames.h"
#include "modbus/reply_judge.h"
#include "modbus/rtu_frames.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

// The first four hex digits of the value's unsigned 64-bit form, counted
// from its highest non-zero digit, left-padded when it has fewer.
uint16_t ExpectedField(int64_t value)
{
    uint64_t bits = static_cast<uint64_t>(value);
    int digits = 1;
    while (digits < 16 && (bits >> (4 * digits)) != 0)
        digits++;
    return static_cast<uint16_t>(digits <= 4 ? bits : bits >> (4 * (digits - 4)));
}

uint16_t FieldAt(const uint8_t* frame, int offset)
{
    return static_cast<uint16_t>(frame[offset] << 8 | frame[offset + 1]);
}

void CheckHeader(const uint8_t* frame, int64_t unit, int function)
{
    FUZZ_CHECK(frame[2] == 0 && frame[3] == 0 && frame[4] == 0 && frame[5] == 6);
    FUZZ_CHECK(frame[6] == (static_cast<uint64_t>(unit) & 0xFF));
    FUZZ_CHECK(frame[7] == function);
}

// The reply, as a bare PDU and as a Modbus/TCP and an RTU frame, against a
// device identification request.
void CheckDeviceId(const uint8_t* reply, int n, uint16_t transactionId, int64_t unit, uint8_t objectId)
{
    auto request = std::make_unique<uint8_t[]>(kDeviceIdRequestLength);
    FUZZ_CHECK(BuildDeviceIdRequest(request.get(), transactionId, unit, kReadIdBasic, objectId) ==
               kDeviceIdRequestLength);
    FUZZ_CHECK(FieldAt(request.get(), 0) == transactionId && request[5] == 5 && request[7] == 43 && request[8] == 14 &&
               request[9] == kReadIdBasic && request[10] == objectId);

    const int length = DeviceIdPduLength(reply, n);
    FUZZ_CHECK(length >= -1 && length <= kMaxPduLength);
    FUZZ_CHECK(length <= 0 || length >= kDeviceIdReplyHeader);
    DeviceIdReply parsed;
    if (ParseDeviceIdReply(reply, n, &parsed)) {
        FUZZ_CHECK(length == n && parsed.objects.size() == reply[6]);
        int bytes = kDeviceIdReplyHeader;
        for (const DeviceIdObject& object : parsed.objects)
            bytes += 2 + static_cast<int>(object.value.size());
        FUZZ_CHECK(bytes == n);
        // However a device answers, collecting ends within three requests.
        DeviceIdCollection collection;
        for (int round = 0; round < 5 && !collection.done; round++)
            TakeDeviceIdReply(collection, parsed);
        FUZZ_CHECK(collection.done && collection.requests <= kBasicObjects);
    }
    if (length > 0 && length <= n)
        FUZZ_CHECK(DeviceIdPduLength(reply, length) == length);

    const ReplyJudgement j = JudgeReply(request.get(), kDeviceIdRequestLength, reply, n);
    if (j.verdict == ReplyValid)
        FUZZ_CHECK(FrameLength(reply, n) == n && reply[6] == request[6] &&
                   ParseDeviceIdReply(reply + kMbapHeaderLength, n - kMbapHeaderLength, &parsed));
    uint8_t rtu[kDeviceIdRequestLength];
    FUZZ_CHECK(BuildRtuRequest(rtu, request.get(), kDeviceIdRequestLength) == kRtuDeviceIdRequestLength);
    const ReplyJudgement r = JudgeRtuReply(rtu, kRtuDeviceIdRequestLength, reply, n);
    FUZZ_CHECK(r.verdict != ReplyNotOurs);
    if (r.verdict == ReplyValid)
        FUZZ_CHECK(RtuCrcValid(reply, n) && RtuReplyLength(reply, n) == n && reply[0] == rtu[0]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider provider(data, size);
    const int table = provider.ConsumeIntegralInRange<int>(1, 4);
    const int64_t unit = provider.ConsumeIntegral<int64_t>();
    const int64_t address = provider.ConsumeIntegral<int64_t>();
    const int64_t quantity = provider.ConsumeIntegral<int64_t>();
    const bool offsetOn = provider.ConsumeBool();
    const int function = provider.ConsumeBool() ? kFunctionWriteCoil : kFunctionWriteRegister;
    const uint16_t id = provider.ConsumeIntegral<uint16_t>();
    const uint8_t objectId = provider.ConsumeIntegral<uint8_t>();

    // Exactly 12 bytes on the heap: AddressSanitizer catches any write past.
    auto frame = std::make_unique<uint8_t[]>(kRequestLength);
    FUZZ_CHECK(BuildReadRequest(frame.get(), table, unit, address, quantity, offsetOn) == kRequestLength);
    // The id is given as the request goes out.
    FUZZ_CHECK(FieldAt(frame.get(), 0) == 0);
    StampTransactionId(frame.get(), id);
    FUZZ_CHECK(FieldAt(frame.get(), 0) == id);
    CheckHeader(frame.get(), unit, ReadFunctionCode(table));
    const int64_t sentAddress = offsetOn ? static_cast<int64_t>(static_cast<uint64_t>(address) - 1) : address;
    FUZZ_CHECK(FieldAt(frame.get(), 8) == ExpectedField(sentAddress));
    FUZZ_CHECK(FieldAt(frame.get(), 10) == ExpectedField(quantity));

    FUZZ_CHECK(BuildWriteRequest(frame.get(), unit, function, address, quantity, offsetOn) == kRequestLength);
    FUZZ_CHECK(FieldAt(frame.get(), 0) == 0);
    StampTransactionId(frame.get(), id);
    CheckHeader(frame.get(), unit, function);
    FUZZ_CHECK(FieldAt(frame.get(), 8) == ExpectedField(sentAddress));
    FUZZ_CHECK(FieldAt(frame.get(), 10) == ExpectedField(quantity));

    // The rest is a reply, judged against the read and the write request.
    const std::vector<uint8_t> reply = provider.ConsumeRemainingBytes<uint8_t>();
    const int n = static_cast<int>(reply.size());
    uint8_t read[kRequestLength];
    BuildReadRequest(read, table, unit, address, quantity, offsetOn);
    StampTransactionId(read, id);
    for (const uint8_t* request : {static_cast<const uint8_t*>(read), static_cast<const uint8_t*>(frame.get())}) {
        const ReplyJudgement j = JudgeReply(request, kRequestLength, reply.data(), n);
        const bool ours = n >= 2 && reply[0] == request[0] && reply[1] == request[1];
        FUZZ_CHECK((j.verdict == ReplyNotOurs) == !ours);
        FUZZ_CHECK((j.verdict == ReplyInvalid) == (j.fault != FaultNone));
        if (j.verdict == ReplyException)
            FUZZ_CHECK(n == kExceptionLength && reply[7] == (request[7] | 0x80) && reply[6] == request[6]);
        if (j.verdict == ReplyValid) {
            FUZZ_CHECK(reply[6] == request[6] && reply[7] == request[7] && reply[2] == 0 && reply[3] == 0);
            FUZZ_CHECK(FrameLength(reply.data(), n) == n);
            if (request == read)
                FUZZ_CHECK(n == kResponseDataOffset + reply[8]);
            else
                FUZZ_CHECK(n == kRequestLength && std::memcmp(reply.data(), request, kRequestLength) == 0);
        }

        // Collecting never asks for less than it has, nor takes more.
        const CollectDecision d = NextCollectStep(request, reply.data(), n);
        if (d.step == CollectMore)
            FUZZ_CHECK(d.bytes > n && d.bytes <= kMaxFrameLength);
        else
            FUZZ_CHECK(d.bytes > 0 && d.bytes <= n);
    }
    // RTU: the same requests less the MBAP header, plus the CRC; the reply
    // judged against both.
    uint8_t rtuRead[kRtuRequestLength], rtuWrite[kRtuRequestLength];
    FUZZ_CHECK(BuildRtuRequest(rtuRead, read, kRequestLength) == kRtuRequestLength);
    FUZZ_CHECK(BuildRtuRequest(rtuWrite, frame.get(), kRequestLength) == kRtuRequestLength);
    for (const uint8_t* request : {static_cast<const uint8_t*>(rtuRead), static_cast<const uint8_t*>(rtuWrite)}) {
        // A frame followed by its CRC, low byte first, leaves no remainder.
        FUZZ_CHECK(RtuCrcValid(request, kRtuRequestLength) && RtuCrc(request, kRtuRequestLength) == 0);
        const ReplyJudgement j = JudgeRtuReply(request, kRtuRequestLength, reply.data(), n);
        FUZZ_CHECK(j.verdict != ReplyNotOurs);
        FUZZ_CHECK((j.verdict == ReplyInvalid) == (j.fault != FaultNone));
        if (j.verdict != ReplyInvalid || (j.fault != FaultCrc && j.fault != FaultLength))
            FUZZ_CHECK(RtuCrcValid(reply.data(), n));
        if (j.verdict == ReplyException)
            FUZZ_CHECK(n == kRtuExceptionLength && reply[0] == request[0] && reply[1] == (request[1] | 0x80));
        if (j.verdict == ReplyValid) {
            FUZZ_CHECK(reply[0] == request[0] && reply[1] == request[1]);
            FUZZ_CHECK(RtuReplyLength(reply.data(), n) == n);
            if (request == rtuRead)
                FUZZ_CHECK(n == kRtuDataOffset + reply[2] + kRtuCrcLength);
            else
                FUZZ_CHECK(n == kRtuWriteReplyLength && std::memcmp(reply.data(), request, 6) == 0);
        }
        FUZZ_CHECK(RtuReadRefused(request, kRtuRequestLength) ==
                   (request[0] == 0 && request[1] >= 1 && request[1] <= 4));
    }
    const int rtuLength = RtuReplyLength(reply.data(), n);
    FUZZ_CHECK(rtuLength >= -1 && rtuLength <= kRtuMaxFrameLength);
    FUZZ_CHECK(rtuLength <= 0 || rtuLength >= kRtuExceptionLength);
    // Only a device identification needs more than its first three bytes
    // before it can tell its length.
    FUZZ_CHECK(rtuLength != 0 || n < kRtuDataOffset || reply[1] == kFunctionDeviceId);

    CheckDeviceId(reply.data(), n, id, unit, objectId);

    if (n == kExceptionLength) {
        const char* status = ExceptionStatusText(reply[8]);
        const uint8_t code = reply[8];
        FUZZ_CHECK((status != nullptr) == (code == 1 || code == 2 || code == 3 || code == 6));
        FUZZ_CHECK(status == nullptr || std::strncmp(status, "Read Error: ", 12) == 0);
    }
    return 0;
}
