// RTU frames: the CRC, the request made from a Modbus/TCP one, the length
// a reply needs, the line's timing, and one table over every rule of the
// judge.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "common/table_numbers.h"
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

int Length(const Bytes& bytes)
{
    return static_cast<int>(bytes.size());
}

// Read 3 holding registers at 1 and 10 coils, unit 1; write register 10;
// write two registers at 5.
const Bytes kReadHr = Framed({1, 3, 0, 1, 0, 3});
const Bytes kReadCoils = Framed({1, 1, 0, 1, 0, 10});
const Bytes kWrite = Framed({1, 6, 0, 10, 4, 210});
const Bytes kWriteMany = Framed({1, 16, 0, 5, 0, 2, 4, 0, 1, 0, 2});
const Bytes kHrReply = Framed({1, 3, 6, 0, 1, 0, 2, 0, 3});
const Bytes kIdentify = Framed({1, 43, 14, 1, 0});
const Bytes kIdReply = Framed({1, 43, 14, 1, 0x81, 0, 0, 2, 0, 2, 'A', 'B', 1, 0});

}  // namespace

TEST(RtuFrames, CrcRequestsAndLengths)
{
    EXPECT_EQ(Framed({1, 3, 0, 0, 0, 10}), (Bytes{1, 3, 0, 0, 0, 10, 0xC5, 0xCD}));
    EXPECT_EQ(Framed({0x11, 3, 0, 0x6B, 0, 3}), (Bytes{0x11, 3, 0, 0x6B, 0, 3, 0x76, 0x87}));
    Bytes broken = kHrReply;
    broken[10] ^= 1;
    EXPECT_FALSE(RtuCrcValid(broken.data(), Length(broken)));

    // The Modbus/TCP request less its first six bytes, plus the CRC.
    uint8_t tcp[kRequestLength], rtu[kRtuRequestLength];
    BuildWriteRequest(tcp, 1, kFunctionWriteRegister, 10, 1234, false);
    ASSERT_EQ(BuildRtuRequest(rtu, tcp, kRequestLength), kRtuRequestLength);
    EXPECT_EQ(Bytes(rtu, rtu + kRtuRequestLength), kWrite);
    EXPECT_EQ(BuildRtuRequest(rtu, tcp, 7), 0);

    // Unit 0: a write is a broadcast, a read is refused.
    EXPECT_TRUE(RtuReadRefused(Framed({0, 3, 0, 0, 0, 1}).data(), 8));
    EXPECT_FALSE(RtuReadRefused(Framed({0, 5, 0, 0, 0xFF, 0}).data(), 8));
    EXPECT_TRUE(RtuIsBroadcast(Framed({0, 5, 0, 0, 0xFF, 0}).data(), 8));
    EXPECT_FALSE(RtuIsBroadcast(kWrite.data(), 8));

    // A read's length is known with its byte count; an exception's and a
    // write's with the function code; an unknown function's never.
    EXPECT_EQ(RtuReplyLength(kHrReply.data(), 2), 0);
    EXPECT_EQ(RtuReplyLength(kHrReply.data(), 3), 11);
    EXPECT_EQ(RtuReplyLength(Bytes{1, 0x90}.data(), 2), 5);
    EXPECT_EQ(RtuReplyLength(Bytes{1, 15}.data(), 2), 8);
    EXPECT_EQ(RtuReplyLength(Bytes{1, 17}.data(), 2), -1);

    // A device identification's length is known once its object list is
    // there, object by object; another MEI type's never.
    for (int have = 2; have < 14; have++)
        EXPECT_EQ(RtuReplyLength(kIdReply.data(), have), 0) << have;
    EXPECT_EQ(RtuReplyLength(kIdReply.data(), 14), 16);
    EXPECT_EQ(RtuReplyLength(Bytes{1, 43, 13}.data(), 3), -1);
    EXPECT_EQ(RtuLongestReply(kIdentify.data()), 256);

    // 3.5 characters of 11 bits at 9600 baud, 10 without parity; still
    // 3.5 characters at 19200; the fixed 1.75 ms only above it.
    EXPECT_EQ(SerialLineTiming({"", 9600, ParityEven, 1}).silenceMicros, 4011u);
    EXPECT_EQ(SerialLineTiming({"", 9600, ParityNone, 1}).silenceMicros, 3646u);
    EXPECT_EQ(SerialLineTiming({"", 19200, ParityEven, 1}).silenceMicros, 2006u);
    EXPECT_EQ(SerialLineTiming({"", 38400, ParityEven, 1}).silenceMicros, 1750u);
}

TEST(RtuFrames, EachRuleOfTheJudge)
{
    struct Case {
        const char* what;
        const Bytes& request;
        Bytes reply;
        ReplyVerdict verdict;
        ReplyFault fault;
    };
    Bytes badCrc = kHrReply;
    badCrc[9] ^= 0x40;
    // The right CRC, high byte first: the wire carries it low byte first.
    Bytes swappedCrc = kHrReply;
    std::swap(swappedCrc[9], swappedCrc[10]);
    ASSERT_NE(swappedCrc, kHrReply);
    const Case cases[] = {
        {"read answered", kReadHr, kHrReply, ReplyValid, FaultNone},
        {"coils: two bytes for ten", kReadCoils, Framed({1, 1, 2, 0xFF, 3}), ReplyValid, FaultNone},
        {"wrong CRC", kReadHr, badCrc, ReplyInvalid, FaultCrc},
        {"CRC in the wrong byte order", kReadHr, swappedCrc, ReplyInvalid, FaultCrc},
        {"unit id", kReadHr, Framed({2, 3, 6, 0, 1, 0, 2, 0, 3}), ReplyInvalid, FaultUnitId},
        {"function code", kReadHr, Framed({1, 4, 6, 0, 1, 0, 2, 0, 3}), ReplyInvalid, FaultFunctionCode},
        {"byte count short", kReadHr, Framed({1, 3, 4, 0, 1, 0, 2}), ReplyInvalid, FaultByteCount},
        {"byte count against the frame", kReadHr, Framed({1, 3, 6, 0, 1, 0, 2}), ReplyInvalid, FaultByteCount},
        {"exception", kReadHr, Framed({1, 0x83, 2}), ReplyException, FaultNone},
        {"exception of another function", kReadHr, Framed({1, 0x81, 2}), ReplyInvalid, FaultFunctionCode},
        {"exception of another unit", kReadHr, Framed({2, 0x83, 2}), ReplyInvalid, FaultUnitId},
        {"long exception", kReadHr, Framed({1, 0x83, 2, 0}), ReplyInvalid, FaultLength},
        {"too short for a CRC", kReadHr, {1, 3, 0}, ReplyInvalid, FaultLength},
        {"write echoed", kWrite, kWrite, ReplyValid, FaultNone},
        {"echo of another value", kWrite, Framed({1, 6, 0, 10, 0, 0}), ReplyInvalid, FaultNotEcho},
        {"write exception", kWrite, Framed({1, 0x86, 2}), ReplyException, FaultNone},
        {"multiple write: address and quantity", kWriteMany, Framed({1, 16, 0, 5, 0, 2}), ReplyValid, FaultNone},
        {"multiple write: another quantity", kWriteMany, Framed({1, 16, 0, 5, 0, 3}), ReplyInvalid, FaultNotEcho},
        {"identification", kIdentify, kIdReply, ReplyValid, FaultNone},
        {"identification short of its list", kIdentify, Framed({1, 43, 14, 1, 0x81, 0, 0, 2, 0, 2, 'A', 'B'}),
         ReplyInvalid, FaultObjectList},
        {"identification refused", kIdentify, Framed({1, 0xAB, 1}), ReplyException, FaultNone},
    };
    for (const Case& c : cases) {
        const ReplyJudgement j = JudgeRtuReply(c.request.data(), Length(c.request), c.reply.data(), Length(c.reply));
        EXPECT_EQ(j.verdict, c.verdict) << c.what;
        EXPECT_EQ(j.fault, c.fault) << c.what;
    }
    EXPECT_STREQ(ReplyFaultText(FaultCrc), "wrong CRC");
}
