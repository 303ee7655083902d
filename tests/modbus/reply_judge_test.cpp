// Which reply answers which request: one table over every rule.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "modbus/frames.h"
#include "modbus/reply_judge.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Read 3 holding registers at 1, unit 1; read 10 coils; write register 10.
const Bytes kReadHr = {0, 4, 0, 0, 0, 6, 1, 3, 0, 1, 0, 3};
const Bytes kReadCoils = {0, 2, 0, 0, 0, 6, 1, 1, 0, 1, 0, 10};
const Bytes kWrite = {0, 100, 0, 0, 0, 6, 1, 6, 0, 10, 4, 210};
// Write two registers at 10, and its echo.
const Bytes kWriteMany = {0, 100, 0, 0, 0, 11, 1, 16, 0, 10, 0, 2, 4, 0x12, 0x34, 0x56, 0x78};
const Bytes kWriteManyEcho = {0, 100, 0, 0, 0, 6, 1, 16, 0, 10, 0, 2};
const Bytes kHrReply = {0, 4, 0, 0, 0, 9, 1, 3, 6, 0, 1, 0, 2, 0, 3};
// Identify unit 1 from object 0, and a reply with the vendor "AB".
const Bytes kIdentify = {0, 9, 0, 0, 0, 5, 1, 43, 14, 1, 0};
const Bytes kIdReply = {0, 9, 0, 0, 0, 12, 1, 43, 14, 1, 0x81, 0, 0, 1, 0, 2, 'A', 'B'};

Bytes With(Bytes bytes, size_t at, uint8_t value)
{
    bytes[at] = value;
    return bytes;
}

struct Case {
    const char* what;
    const Bytes& request;
    Bytes reply;
    ReplyVerdict verdict;
    ReplyFault fault;
};

}  // namespace

TEST(ReplyJudge, EachRuleOfTheMatch)
{
    const Case cases[] = {
        {"read answered", kReadHr, kHrReply, ReplyValid, FaultNone},
        {"coils: two bytes for ten", kReadCoils, {0, 2, 0, 0, 0, 5, 1, 1, 2, 0xFF, 3}, ReplyValid, FaultNone},
        {"another table's transaction", kReadHr, With(kHrReply, 1, 3), ReplyNotOurs, FaultNone},
        {"protocol id", kReadHr, With(kHrReply, 3, 1), ReplyInvalid, FaultProtocolId},
        {"unit id", kReadHr, With(kHrReply, 6, 2), ReplyInvalid, FaultUnitId},
        {"function code", kReadHr, With(kHrReply, 7, 4), ReplyInvalid, FaultFunctionCode},
        {"byte count short", kReadHr, With(kHrReply, 8, 4), ReplyInvalid, FaultByteCount},
        {"byte count long", kReadHr, With(kHrReply, 8, 8), ReplyInvalid, FaultByteCount},
        {"fewer registers, consistently", kReadHr, {0, 4, 0, 0, 0, 5, 1, 3, 2, 0, 1}, ReplyInvalid, FaultByteCount},
        {"length field against the frame", kReadHr, With(kHrReply, 5, 8), ReplyInvalid, FaultLength},
        {"echo of the read", kReadHr, kReadHr, ReplyInvalid, FaultEcho},
        {"exception", kReadHr, {0, 4, 0, 0, 0, 3, 1, 0x83, 2}, ReplyException, FaultNone},
        {"exception of another function", kReadHr, {0, 4, 0, 0, 0, 3, 1, 0x81, 2}, ReplyInvalid, FaultFunctionCode},
        {"9 bytes, bit 7 clear", kReadHr, {0, 4, 0, 0, 0, 3, 1, 3, 2}, ReplyInvalid, FaultByteCount},
        {"exception of another unit", kReadHr, {0, 4, 0, 0, 0, 3, 2, 0x83, 2}, ReplyInvalid, FaultUnitId},
        {"long exception", kReadHr, {0, 4, 0, 0, 0, 4, 1, 0x83, 2, 0}, ReplyInvalid, FaultLength},
        {"header alone", kReadHr, {0, 4, 0, 0, 0, 1, 1}, ReplyInvalid, FaultLength},
        {"write echoed", kWrite, kWrite, ReplyValid, FaultNone},
        {"echo of another address", kWrite, With(kWrite, 9, 11), ReplyInvalid, FaultNotEcho},
        {"echo of another value", kWrite, With(kWrite, 11, 0), ReplyInvalid, FaultNotEcho},
        {"write exception", kWrite, {0, 100, 0, 0, 0, 3, 1, 0x86, 2}, ReplyException, FaultNone},
        {"write answered by another unit", kWrite, With(kWrite, 6, 9), ReplyInvalid, FaultUnitId},
        {"write answered by a read's id", kWrite, With(kWrite, 1, 4), ReplyNotOurs, FaultNone},
        {"multiple write echoed", kWriteMany, kWriteManyEcho, ReplyValid, FaultNone},
        {"echo of another quantity", kWriteMany, With(kWriteManyEcho, 11, 4), ReplyInvalid, FaultNotEcho},
        {"multiple write answered with itself", kWriteMany, kWriteMany, ReplyInvalid, FaultNotEcho},
        {"identification", kIdentify, kIdReply, ReplyValid, FaultNone},
        {"identification of another transaction", kIdentify, With(kIdReply, 1, 4), ReplyNotOurs, FaultNone},
        {"object longer than the frame", kIdentify, With(kIdReply, 15, 3), ReplyInvalid, FaultObjectList},
        {"one object more than listed", kIdentify, With(kIdReply, 13, 2), ReplyInvalid, FaultObjectList},
        {"another MEI type", kIdentify, With(kIdReply, 8, 13), ReplyInvalid, FaultObjectList},
        {"identification refused", kIdentify, {0, 9, 0, 0, 0, 3, 1, 0xAB, 1}, ReplyException, FaultNone},
        {"identification echoed", kIdentify, kIdentify, ReplyInvalid, FaultObjectList},
    };
    for (const Case& c : cases) {
        const ReplyJudgement j = JudgeReply(c.request.data(), static_cast<int>(c.request.size()), c.reply.data(),
                                            static_cast<int>(c.reply.size()));
        EXPECT_EQ(j.verdict, c.verdict) << c.what;
        EXPECT_EQ(j.fault, c.fault) << c.what;
    }
    EXPECT_STREQ(ReplyFaultText(FaultUnitId), "wrong unit id");
}

TEST(ReplyJudge, CollectingFramesTheHeaderAndItsLength)
{
    // The header first, then the length field's count, and no further.
    EXPECT_EQ(NextCollectStep(kReadHr.data(), kHrReply.data(), 3).step, CollectMore);
    EXPECT_EQ(NextCollectStep(kReadHr.data(), kHrReply.data(), 3).bytes, 7);
    CollectDecision d = NextCollectStep(kReadHr.data(), kHrReply.data(), 7);
    EXPECT_EQ(d.step, CollectMore);
    EXPECT_EQ(d.bytes, 15);
    d = NextCollectStep(kReadHr.data(), kHrReply.data(), 15);
    EXPECT_EQ(d.step, CollectFrame);
    EXPECT_EQ(d.bytes, 15);

    // A header that cannot start a frame: with our transaction id it is our
    // broken reply; otherwise it is skipped up to where ours could begin.
    const Bytes broken = {0, 4, 0, 0, 0x40, 0, 1, 3};
    d = NextCollectStep(kReadHr.data(), broken.data(), 8);
    EXPECT_EQ(d.step, CollectFrame);
    EXPECT_EQ(d.bytes, 8);
    const Bytes garbage = {9, 9, 9, 0, 0, 0, 0x7F, 0, 4, 0};
    d = NextCollectStep(kReadHr.data(), garbage.data(), 10);
    EXPECT_EQ(d.step, CollectSkip);
    EXPECT_EQ(d.bytes, 7);
    d = NextCollectStep(kReadHr.data(), garbage.data(), 7);
    EXPECT_EQ(d.step, CollectSkip);
    EXPECT_EQ(d.bytes, 7);

    EXPECT_EQ(FrameLength(kHrReply.data(), 6), 0);
    EXPECT_EQ(FrameLength(kHrReply.data(), 7), 15);
    EXPECT_EQ(FrameLength(With(kHrReply, 5, 1).data(), 7), -1);
    EXPECT_EQ(FrameLength(With(kHrReply, 4, 1).data(), 7), -1);  // 265: longer than any frame
}
