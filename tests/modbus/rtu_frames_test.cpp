// RTU frames: the CRC, the request made from a Modbus/TCP one, the length
// a reply needs, and one table over every rule of the judge.
#include <gtest/gtest.h>

#include <vector>

#include "common/records.h"
#include "modbus/frames.h"
#include "modbus/rtu_frames.h"
#include "modbus/rtu_wait.h"

namespace {

using Bytes = std::vector<uint8_t>;

// The bytes with their CRC appended, low byte first.
Bytes Framed(Bytes bytes)
{
    const uint16_t crc = RtuCrc(bytes.data(), static_cast<int>(bytes.size()));
    bytes.push_back(static_cast<uint8_t>(crc & 0xFF));
    bytes.push_back(static_cast<uint8_t>(crc >> 8));
    return bytes;
}

Bytes Rtu(const Bytes& tcp)
{
    Bytes out(tcp.size());
    out.resize(static_cast<size_t>(BuildRtuRequest(out.data(), tcp.data(), static_cast<int>(tcp.size()))));
    return out;
}

Bytes With(Bytes bytes, size_t at, uint8_t value)
{
    bytes[at] = value;
    return bytes;
}

// Read 3 holding registers at 1, unit 1; read 10 coils; write register 10;
// write two registers at 5.
const Bytes kReadHr = Framed({1, 3, 0, 1, 0, 3});
const Bytes kReadCoils = Framed({1, 1, 0, 1, 0, 10});
const Bytes kWrite = Framed({1, 6, 0, 10, 4, 210});
const Bytes kWriteMany = Framed({1, 16, 0, 5, 0, 2, 4, 0, 1, 0, 2});
const Bytes kHrReply = Framed({1, 3, 6, 0, 1, 0, 2, 0, 3});

struct Case {
    const char* what;
    const Bytes& request;
    Bytes reply;
    ReplyVerdict verdict;
    ReplyFault fault;
};

}  // namespace

TEST(RtuFrames, CrcAndRequests)
{
    const Bytes read = {1, 3, 0, 0, 0, 10};
    EXPECT_EQ(RtuCrc(read.data(), 6), 0xCDC5);
    EXPECT_EQ(Framed(read), (Bytes{1, 3, 0, 0, 0, 10, 0xC5, 0xCD}));
    EXPECT_EQ(Framed({0x11, 3, 0, 0x6B, 0, 3}), (Bytes{0x11, 3, 0, 0x6B, 0, 3, 0x76, 0x87}));
    EXPECT_EQ(RtuCrc(nullptr, 0), 0xFFFF);
    EXPECT_TRUE(RtuCrcValid(kHrReply.data(), static_cast<int>(kHrReply.size())));
    EXPECT_FALSE(RtuCrcValid(With(kHrReply, 10, 0).data(), static_cast<int>(kHrReply.size())));

    // The TCP request less its first six bytes, plus the CRC.
    uint8_t tcp[kRequestLength];
    BuildReadRequest(tcp, TableHoldingRegisters, 1, 0, 10, false);
    EXPECT_EQ(Rtu(Bytes(tcp, tcp + kRequestLength)), (Bytes{1, 3, 0, 0, 0, 10, 0xC5, 0xCD}));
    BuildWriteRequest(tcp, 1, kFunctionWriteRegister, 10, 1234, false);
    EXPECT_EQ(Rtu(Bytes(tcp, tcp + kRequestLength)), kWrite);
    EXPECT_EQ(Rtu({0, 100, 0, 0, 0, 11, 1, 16, 0, 5, 0, 2, 4, 0, 1, 0, 2}), kWriteMany);
    uint8_t out[8];
    EXPECT_EQ(BuildRtuRequest(out, tcp, 7), 0);

    // Unit 0: a write is a broadcast, a read is refused.
    const Bytes broadcastRead = Framed({0, 3, 0, 0, 0, 1});
    const Bytes broadcastWrite = Framed({0, 5, 0, 0, 0xFF, 0});
    EXPECT_TRUE(RtuReadRefused(broadcastRead.data(), 8));
    EXPECT_FALSE(RtuReadRefused(broadcastWrite.data(), 8));
    EXPECT_TRUE(RtuIsBroadcast(broadcastWrite.data(), 8));
    EXPECT_FALSE(RtuIsBroadcast(kWrite.data(), 8));
    EXPECT_FALSE(RtuReadRefused(kReadHr.data(), 8));
}

TEST(RtuFrames, ReplyLengthByFunctionAndByteCount)
{
    EXPECT_EQ(RtuReplyLength(kHrReply.data(), 1), 0);
    EXPECT_EQ(RtuReplyLength(kHrReply.data(), 2), 0);  // a read: the byte count is still to come
    EXPECT_EQ(RtuReplyLength(kHrReply.data(), 3), 11);
    EXPECT_EQ(RtuReplyLength(Bytes{1, 0x83}.data(), 2), 5);
    EXPECT_EQ(RtuReplyLength(Bytes{1, 0x90}.data(), 2), 5);
    for (int function : {5, 6, 15, 16})
        EXPECT_EQ(RtuReplyLength(Bytes{1, static_cast<uint8_t>(function)}.data(), 2), 8) << function;
    for (int function : {0, 7, 8, 17, 43})
        EXPECT_EQ(RtuReplyLength(Bytes{1, static_cast<uint8_t>(function)}.data(), 2), -1) << function;
    EXPECT_EQ(RtuReplyLength(Bytes{1, 4, 255}.data(), 3), kRtuMaxFrameLength);
}

TEST(RtuFrames, EachRuleOfTheJudge)
{
    const Case cases[] = {
        {"read answered", kReadHr, kHrReply, ReplyValid, FaultNone},
        {"coils: two bytes for ten", kReadCoils, Framed({1, 1, 2, 0xFF, 3}), ReplyValid, FaultNone},
        {"wrong CRC", kReadHr, With(kHrReply, 9, 0), ReplyInvalid, FaultCrc},
        {"wrong CRC before a wrong unit", kReadHr, With(With(kHrReply, 0, 2), 10, 0), ReplyInvalid, FaultCrc},
        {"unit id", kReadHr, Framed({2, 3, 6, 0, 1, 0, 2, 0, 3}), ReplyInvalid, FaultUnitId},
        {"function code", kReadHr, Framed({1, 4, 6, 0, 1, 0, 2, 0, 3}), ReplyInvalid, FaultFunctionCode},
        {"byte count short", kReadHr, Framed({1, 3, 4, 0, 1, 0, 2}), ReplyInvalid, FaultByteCount},
        {"byte count long", kReadHr, Framed({1, 3, 8, 0, 1, 0, 2, 0, 3, 0, 4}), ReplyInvalid, FaultByteCount},
        {"byte count against the frame", kReadHr, Framed({1, 3, 6, 0, 1, 0, 2}), ReplyInvalid, FaultByteCount},
        {"exception", kReadHr, Framed({1, 0x83, 2}), ReplyException, FaultNone},
        {"exception of another function", kReadHr, Framed({1, 0x81, 2}), ReplyInvalid, FaultFunctionCode},
        {"exception of another unit", kReadHr, Framed({2, 0x83, 2}), ReplyInvalid, FaultUnitId},
        {"long exception", kReadHr, Framed({1, 0x83, 2, 0}), ReplyInvalid, FaultLength},
        {"too short to hold a CRC", kReadHr, {1, 3, 0}, ReplyInvalid, FaultLength},
        {"write echoed", kWrite, kWrite, ReplyValid, FaultNone},
        {"echo of another address", kWrite, Framed({1, 6, 0, 11, 4, 210}), ReplyInvalid, FaultNotEcho},
        {"echo of another value", kWrite, Framed({1, 6, 0, 10, 0, 0}), ReplyInvalid, FaultNotEcho},
        {"write exception", kWrite, Framed({1, 0x86, 2}), ReplyException, FaultNone},
        {"write answered by another unit", kWrite, Framed({9, 6, 0, 10, 4, 210}), ReplyInvalid, FaultUnitId},
        {"multiple write: address and quantity", kWriteMany, Framed({1, 16, 0, 5, 0, 2}), ReplyValid, FaultNone},
        {"multiple write: another quantity", kWriteMany, Framed({1, 16, 0, 5, 0, 3}), ReplyInvalid, FaultNotEcho},
    };
    for (const Case& c : cases) {
        const ReplyJudgement j = JudgeRtuReply(c.request.data(), static_cast<int>(c.request.size()), c.reply.data(),
                                               static_cast<int>(c.reply.size()));
        EXPECT_EQ(j.verdict, c.verdict) << c.what;
        EXPECT_EQ(j.fault, c.fault) << c.what;
    }
    EXPECT_STREQ(ReplyFaultText(FaultCrc), "wrong CRC");
}

TEST(RtuFrames, LineTiming)
{
    // 3.5 characters of 11 bits at 9600 baud; 10 bits without parity; a
    // fixed 1.75 ms above 19200.
    EXPECT_EQ(SerialLineTiming({"", 9600, ParityEven, 1}).silenceMicros, 4011u);
    EXPECT_EQ(SerialLineTiming({"", 9600, ParityNone, 1}).silenceMicros, 3646u);
    EXPECT_EQ(SerialLineTiming({"", 9600, ParityNone, 2}).characterMicros, 1146u);
    EXPECT_EQ(SerialLineTiming({"", 19200, ParityEven, 1}).silenceMicros, 2006u);
    EXPECT_EQ(SerialLineTiming({"", 38400, ParityEven, 1}).silenceMicros, 1750u);
    EXPECT_EQ(SerialLineTiming({"", 115200, ParityNone, 1}).characterMicros, 87u);
}
