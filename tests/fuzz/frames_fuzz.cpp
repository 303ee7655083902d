// Request frames and reply judging over arbitrary field values and
// replies: frames are exactly 12 bytes with the fixed header, 16-bit fields
// match an independent digit count; on the wire, a Modbus/TCP request
// carries its id, an RTU one its PDU and a CRC that checks; in either
// framing a reply is taken only whole, with a right CRC where there is one,
// the request's unit and function, and collecting never overruns what it
// was given nor takes a frame of another transaction. A device
// identification's object list is taken only when it fills its frame, and
// collecting objects from any reply ends.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "modbus/device_id.h"
#include "modbus/frames.h"
#include "modbus/framing.h"
#include "modbus/pdu_sizes.h"
#include "modbus/reply_judge.h"
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

// The view of a wire frame the builders and FrameRequest made.
FrameView Sent(const Framing& framing, const uint8_t* wire, int length)
{
    FrameView view;
    FUZZ_CHECK(ViewFrame(framing, wire, length, &view));
    return view;
}

// The reply judged against request, as it went on the wire in framing:
// an outcome of a reply, and only then a valid or an exception reply when
// the envelope and the PDU say so.
void CheckJudgement(const Framing& framing, const FrameView& request, const uint8_t* reply, int n)
{
    const Outcome o = JudgeReply(framing, request, reply, n);
    FUZZ_CHECK(o.kind == OutcomeValid || o.kind == OutcomeException || o.kind == OutcomeInvalid);
    FUZZ_CHECK((o.kind == OutcomeInvalid) == (o.fault != FaultNone));
    if (o.kind == OutcomeInvalid)
        return;
    // Taken only whole: its length as its framing tells it, a right CRC.
    FUZZ_CHECK(FrameLength(framing, reply, n) == n);
    FUZZ_CHECK(framing.checksumLength == 0 || RtuCrcValid(reply, n));
    FrameView got;
    FUZZ_CHECK(ViewFrame(framing, reply, n, &got) && got.unit == request.unit && got.protocolId == 0);
    const int function = request.pdu[0];
    if (o.kind == OutcomeException) {
        FUZZ_CHECK(got.pduLength == 2 && got.pdu[0] == (function | 0x80) && o.exceptionCode == got.pdu[1]);
        return;
    }
    FUZZ_CHECK(got.pdu[0] == function);
    if (IsReadFunction(function))
        FUZZ_CHECK(got.pduLength == 2 + got.pdu[1]);
    else if (IsWriteFunction(function))
        FUZZ_CHECK(got.pduLength == 5 && std::memcmp(got.pdu, request.pdu, 5) == 0);
    else {
        DeviceIdReply parsed;
        FUZZ_CHECK(ParseDeviceIdReply(got.pdu, got.pduLength, &parsed));
    }
}

// Collecting never asks for less than it has, nor takes more; only a
// framing without ids waits for the line to fall silent.
void CheckCollecting(const Framing& framing, const FrameView& request, const uint8_t* reply, int n)
{
    const CollectDecision d = NextCollectStep(framing, request, reply, n);
    if (d.step == CollectMore)
        FUZZ_CHECK(d.bytes > n && d.bytes <= kMaxFrameLength);
    else if (d.step == CollectUntilQuiet)
        FUZZ_CHECK(!framing.transactionIds && d.bytes == kMaxFrameLength);
    else
        FUZZ_CHECK(d.bytes > 0 && d.bytes <= n);
    if (d.step == CollectFrame && framing.transactionIds && n >= 2)
        FUZZ_CHECK(!OfAnotherTransaction(framing, request, reply, n));

    const int length = FrameLength(framing, reply, n);
    FUZZ_CHECK(length >= -1 && length <= kMaxFrameLength);
    FUZZ_CHECK(length <= 0 || length >= framing.headerLength + 1 + framing.checksumLength);
}

// The reply, as a bare PDU and in both framings, against a device
// identification request.
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

    for (const Framing* framing : {&kModbusTcpFraming, &kRtuFraming}) {
        uint8_t wire[kMaxFrameLength];
        const int wireLength = FrameRequest(*framing, request.get(), kDeviceIdRequestLength, transactionId, wire);
        FUZZ_CHECK(wireLength == (framing->transactionIds ? kDeviceIdRequestLength : 7));
        CheckJudgement(*framing, Sent(*framing, wire, wireLength), reply, n);
    }
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
    CheckHeader(frame.get(), unit, function);
    FUZZ_CHECK(FieldAt(frame.get(), 8) == ExpectedField(sentAddress));
    FUZZ_CHECK(FieldAt(frame.get(), 10) == ExpectedField(quantity));

    // The rest is a reply, judged against the read and the write request
    // as they go on the wire in either framing.
    const std::vector<uint8_t> reply = provider.ConsumeRemainingBytes<uint8_t>();
    const int n = static_cast<int>(reply.size());
    uint8_t read[kRequestLength];
    BuildReadRequest(read, table, unit, address, quantity, offsetOn);
    for (const uint8_t* request : {static_cast<const uint8_t*>(read), static_cast<const uint8_t*>(frame.get())}) {
        for (const Framing* framing : {&kModbusTcpFraming, &kRtuFraming}) {
            uint8_t wire[kMaxFrameLength];
            const int wireLength = FrameRequest(*framing, request, kRequestLength, id, wire);
            if (framing->transactionIds) {
                FUZZ_CHECK(wireLength == kRequestLength && FieldAt(wire, 0) == id &&
                           std::memcmp(wire + 2, request + 2, kRequestLength - 2) == 0);
            } else {
                // The PDU and its CRC: a frame followed by its CRC, low byte
                // first, leaves no remainder.
                FUZZ_CHECK(wireLength == 8 && std::memcmp(wire, request + 6, 6) == 0);
                FUZZ_CHECK(RtuCrcValid(wire, wireLength) && RtuCrc(wire, wireLength) == 0);
            }
            const FrameView sent = Sent(*framing, wire, wireLength);
            CheckJudgement(*framing, sent, reply.data(), n);
            CheckCollecting(*framing, sent, reply.data(), n);
            FUZZ_CHECK(OfAnotherTransaction(*framing, sent, reply.data(), n) ==
                       (framing->transactionIds && n >= 2 && FieldAt(reply.data(), 0) != id));
        }
    }

    CheckDeviceId(reply.data(), n, id, unit, objectId);

    // An exception's code selects the status text, the same for reads and
    // writes.
    if (n >= 1) {
        const char* status = ExceptionStatusText(reply[0]);
        const uint8_t code = reply[0];
        FUZZ_CHECK((status != nullptr) == (code == 1 || code == 2 || code == 3 || code == 6));
        FUZZ_CHECK(status == nullptr || std::strncmp(status, "Read Error: ", 12) == 0);
    }
    return 0;
}
