// Which reply answers which request: one table over every rule, each case
// judged in both framings, then the rules of one framing alone.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "modbus/framing.h"
#include "modbus/reply_judge.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint16_t kId = 4;

Bytes Tcp(uint8_t unit, const Bytes& pdu, uint16_t id = kId)
{
    Bytes frame = {
        static_cast<uint8_t>(id >> 8), static_cast<uint8_t>(id), 0, 0, 0, static_cast<uint8_t>(pdu.size() + 1), unit};
    frame.insert(frame.end(), pdu.begin(), pdu.end());
    return frame;
}

// The bytes with their CRC appended, low byte first.
Bytes Framed(Bytes bytes)
{
    const uint16_t crc = RtuCrc(bytes.data(), static_cast<int>(bytes.size()));
    bytes.push_back(static_cast<uint8_t>(crc & 0xFF));
    bytes.push_back(static_cast<uint8_t>(crc >> 8));
    return bytes;
}

Bytes Rtu(uint8_t unit, const Bytes& pdu)
{
    Bytes frame = {unit};
    frame.insert(frame.end(), pdu.begin(), pdu.end());
    return Framed(frame);
}

Outcome Judge(const Framing& framing, const Bytes& request, const Bytes& reply)
{
    FrameView sent;
    EXPECT_TRUE(ViewFrame(framing, request.data(), static_cast<int>(request.size()), &sent));
    return JudgeReply(framing, sent, reply.data(), static_cast<int>(reply.size()));
}

// Read 3 holding registers at 1; read 10 coils; write register 10 with
// 1234; write two registers at 10; identify from object 0.
const Bytes kReadHr = {3, 0, 1, 0, 3};
const Bytes kReadCoils = {1, 0, 1, 0, 10};
const Bytes kWrite = {6, 0, 10, 4, 210};
const Bytes kWriteMany = {16, 0, 10, 0, 2, 4, 0x12, 0x34, 0x56, 0x78};
const Bytes kIdentify = {43, 14, 1, 0};
const Bytes kHrReply = {3, 6, 0, 1, 0, 2, 0, 3};
const Bytes kIdReply = {43, 14, 1, 0x81, 0, 0, 1, 0, 2, 'A', 'B'};

Bytes With(Bytes bytes, size_t at, uint8_t value)
{
    bytes[at] = value;
    return bytes;
}

}  // namespace

TEST(ReplyJudge, EachRuleOfThePduInBothFramings)
{
    struct Case {
        const char* what;
        const Bytes& request;
        uint8_t unit;
        Bytes reply;
        OutcomeKind kind;
        ReplyFault fault;
    };
    const Case cases[] = {
        {"read answered", kReadHr, 1, kHrReply, OutcomeValid, FaultNone},
        {"coils: two bytes for ten", kReadCoils, 1, {1, 2, 0xFF, 3}, OutcomeValid, FaultNone},
        {"unit id", kReadHr, 2, kHrReply, OutcomeInvalid, FaultUnitId},
        {"function code", kReadHr, 1, With(kHrReply, 0, 4), OutcomeInvalid, FaultFunctionCode},
        {"byte count short", kReadHr, 1, With(kHrReply, 1, 4), OutcomeInvalid, FaultByteCount},
        {"byte count long", kReadHr, 1, With(kHrReply, 1, 8), OutcomeInvalid, FaultByteCount},
        {"fewer registers, consistently", kReadHr, 1, {3, 2, 0, 1}, OutcomeInvalid, FaultByteCount},
        {"echo of the read", kReadHr, 1, kReadHr, OutcomeInvalid, FaultEcho},
        {"exception", kReadHr, 1, {0x83, 2}, OutcomeException, FaultNone},
        {"exception of another function", kReadHr, 1, {0x81, 2}, OutcomeInvalid, FaultFunctionCode},
        {"two bytes, bit 7 clear", kReadHr, 1, {3, 2}, OutcomeInvalid, FaultByteCount},
        {"exception of another unit", kReadHr, 2, {0x83, 2}, OutcomeInvalid, FaultUnitId},
        {"long exception", kReadHr, 1, {0x83, 2, 0}, OutcomeInvalid, FaultLength},
        {"write echoed", kWrite, 1, kWrite, OutcomeValid, FaultNone},
        {"echo of another address", kWrite, 1, With(kWrite, 2, 11), OutcomeInvalid, FaultNotEcho},
        {"echo of another value", kWrite, 1, With(kWrite, 4, 0), OutcomeInvalid, FaultNotEcho},
        {"write exception", kWrite, 1, {0x86, 2}, OutcomeException, FaultNone},
        {"write answered by another unit", kWrite, 9, kWrite, OutcomeInvalid, FaultUnitId},
        {"another unit and a wrong byte count", kReadHr, 0, With(kHrReply, 1, 4), OutcomeInvalid, FaultUnitId},
        {"multiple write echoed", kWriteMany, 1, {16, 0, 10, 0, 2}, OutcomeValid, FaultNone},
        {"echo of another quantity", kWriteMany, 1, {16, 0, 10, 0, 4}, OutcomeInvalid, FaultNotEcho},
        {"multiple write answered with itself", kWriteMany, 1, kWriteMany, OutcomeInvalid, FaultNotEcho},
        {"identification", kIdentify, 1, kIdReply, OutcomeValid, FaultNone},
        {"object longer than the frame", kIdentify, 1, With(kIdReply, 8, 3), OutcomeInvalid, FaultObjectList},
        {"one object more than listed", kIdentify, 1, With(kIdReply, 6, 2), OutcomeInvalid, FaultObjectList},
        {"another MEI type", kIdentify, 1, With(kIdReply, 1, 13), OutcomeInvalid, FaultObjectList},
        {"identification refused", kIdentify, 1, {0xAB, 1}, OutcomeException, FaultNone},
        {"identification echoed", kIdentify, 1, kIdentify, OutcomeInvalid, FaultObjectList},
    };
    for (const Case& c : cases) {
        const std::pair<const Framing&, std::pair<Bytes, Bytes>> framed[] = {
            {kModbusTcpFraming, {Tcp(1, c.request), Tcp(c.unit, c.reply)}},
            {kRtuFraming, {Rtu(1, c.request), Rtu(c.unit, c.reply)}},
        };
        for (const auto& [framing, frames] : framed) {
            const Outcome o = Judge(framing, frames.first, frames.second);
            const char* where = framing.transactionIds ? "Modbus/TCP" : "RTU";
            EXPECT_EQ(o.kind, c.kind) << c.what << ", " << where;
            EXPECT_EQ(o.fault, c.fault) << c.what << ", " << where;
            EXPECT_EQ(o.exceptionCode, c.kind == OutcomeException ? c.reply[1] : 0) << c.what << ", " << where;

            // Taking any unit id waives that check alone, and says when it
            // alone refused the reply.
            const Bytes& reply = frames.second;
            FrameView sent;
            ASSERT_TRUE(ViewFrame(framing, frames.first.data(), static_cast<int>(frames.first.size()), &sent));
            const Outcome any = JudgeReply(framing, sent, reply.data(), static_cast<int>(reply.size()), true);
            const bool unitOnly = RefusedForUnitOnly(framing, sent, reply.data(), static_cast<int>(reply.size()));
            if (c.fault == FaultUnitId) {
                EXPECT_EQ(unitOnly, any.kind != OutcomeInvalid) << c.what << ", " << where;
            } else {
                EXPECT_EQ(any.kind, o.kind) << c.what << ", " << where;
                EXPECT_FALSE(unitOnly) << c.what << ", " << where;
            }
        }
    }
    EXPECT_STREQ(ReplyFaultText(FaultUnitId), "wrong unit id");
    EXPECT_STREQ(ReplyFaultText(FaultCrc), "wrong CRC");
}

TEST(ReplyJudge, TheEnvelopeOfEachFraming)
{
    const Bytes tcpReply = Tcp(1, kHrReply);
    const Bytes rtuReply = Rtu(1, kHrReply);
    Bytes badCrc = rtuReply;
    badCrc[9] ^= 0x40;
    // The right CRC, high byte first: the wire carries it low byte first.
    Bytes swappedCrc = rtuReply;
    std::swap(swappedCrc[9], swappedCrc[10]);
    ASSERT_NE(swappedCrc, rtuReply);
    const struct {
        const char* what;
        const Framing& framing;
        Bytes reply;
        ReplyFault fault;
    } cases[] = {
        {"protocol id", kModbusTcpFraming, With(tcpReply, 3, 1), FaultProtocolId},
        {"length field against the frame", kModbusTcpFraming, With(tcpReply, 5, 8), FaultLength},
        {"header alone", kModbusTcpFraming, {0, 4, 0, 0, 0, 1, 1}, FaultLength},
        {"wrong CRC", kRtuFraming, badCrc, FaultCrc},
        {"CRC in the wrong byte order", kRtuFraming, swappedCrc, FaultCrc},
        {"a wrong CRC before a wrong unit", kRtuFraming, With(badCrc, 0, 2), FaultCrc},
        {"too short for a CRC", kRtuFraming, {1, 3, 0}, FaultLength},
    };
    for (const auto& c : cases) {
        const Bytes request = c.framing.transactionIds ? Tcp(1, kReadHr) : Rtu(1, kReadHr);
        const Outcome o = Judge(c.framing, request, c.reply);
        EXPECT_EQ(o.kind, OutcomeInvalid) << c.what;
        EXPECT_EQ(o.fault, c.fault) << c.what;
    }
}
