#include "modbus/response_wait.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "common/tick.h"
#include "modbus/device_id.h"

namespace {

// A server that keeps sending cannot hold the next request back forever.
constexpr int kMaxDrainReads = 16;

void Ignore(IgnoredBytes ignored, const uint8_t* bytes, int count)
{
    if (ignored && count > 0)
        ignored(bytes, count);
}

LinkLoss LossOf(int received)
{
    return received == kReceiveClosed ? LossClosed : LossReset;
}

// Reads out what waits before a request, frame by frame where the bytes
// can be framed, and hands it to ignored.
LinkLoss DrainWaiting(Connection* connection, uint8_t* buffer, int capacity, IgnoredBytes ignored)
{
    for (int round = 0; round < kMaxDrainReads; round++) {
        const int n = ReceiveWaiting(connection, buffer, capacity);
        if (n == 0)
            return LossNone;
        if (n < 0)
            return LossOf(n);
        for (int at = 0; at < n;) {
            int frame = FrameLength(buffer + at, n - at);
            if (frame <= 0 || frame > n - at)
                frame = n - at;
            Ignore(ignored, buffer + at, frame);
            at += frame;
        }
    }
    return LossNone;
}

void Consume(uint8_t* buffer, int& have, int count)
{
    std::memmove(buffer, buffer + count, static_cast<size_t>(have - count));
    have -= count;
}

std::array<uint8_t, kRequestLength> EchoOf(const uint8_t* request)
{
    std::array<uint8_t, kRequestLength> echo{};
    std::memcpy(echo.data(), request, kRequestLength);
    echo[4] = 0;
    echo[5] = 6;
    return echo;
}

bool IsWrite(const uint8_t* request)
{
    const int function = request[7];
    return function == kFunctionWriteCoil || function == kFunctionWriteRegister || function == kFunctionWriteCoils ||
           function == kFunctionWriteRegisters;
}

bool IsLateEcho(const LateWrites* late, const uint8_t* frame, int count)
{
    if (!late || count != kRequestLength)
        return false;
    for (int i = 0; i < late->count; i++)
        if (std::memcmp(late->echoes[static_cast<size_t>(i)].data(), frame, kRequestLength) == 0)
            return true;
    return false;
}

void RememberLateWrite(LateWrites* late, const uint8_t* request)
{
    if (!late)
        return;
    late->echoes[static_cast<size_t>(late->next)] = EchoOf(request);
    late->next = (late->next + 1) % static_cast<int>(late->echoes.size());
    late->count = std::min(late->count + 1, static_cast<int>(late->echoes.size()));
}

}  // namespace

bool SendWholeRequest(Connection* connection, const uint8_t* request, int length, ResponseWait& wait,
                      uint32_t (*tick)())
{
    const int sent = SendData(connection, request, length);
    if (sent < 0) {
        wait.loss = LossSendFailed;
        return false;
    }
    if (sent != length) {
        wait.outcome = WaitSendFailed;
        return false;
    }
    wait.sent = true;
    wait.sendTime = tick();
    return true;
}

ResponseWait SendAndAwaitResponse(Connection* connection, const uint8_t* request, int length, uint8_t* buffer,
                                  int capacity, IgnoredBytes ignored, LateWrites* late, uint32_t (*tick)(),
                                  uint32_t timeoutMs)
{
    if (!tick)
        tick = MillisecondTick;
    ResponseWait wait;
    wait.outcome = WaitLinkLost;
    if (!connection || length < kDeviceIdRequestLength || capacity < kMaxFrameLength) {
        wait.loss = LossSendFailed;
        return wait;
    }
    if (late && late->connection != connection->serial)
        *late = LateWrites{connection->serial};

    if ((wait.loss = DrainWaiting(connection, buffer, capacity, ignored)) != LossNone)
        return wait;
    if (!SendWholeRequest(connection, request, length, wait, tick))
        return wait;

    int have = 0;
    for (;;) {
        CollectDecision next = NextCollectStep(request, buffer, have);
        if (next.step == CollectSkip) {
            // Out of step: take in what else waits, so that it is dropped
            // in one piece rather than header by header.
            const int more = ReceiveWaiting(connection, buffer + have, capacity - have);
            if (more > 0) {
                have += more;
                next = NextCollectStep(request, buffer, have);
            }
        }
        if (next.step == CollectSkip) {
            Ignore(ignored, buffer, next.bytes);
            Consume(buffer, have, next.bytes);
            continue;
        }
        if (next.step == CollectFrame) {
            const ReplyJudgement judgement = JudgeReply(request, length, buffer, next.bytes);
            if (judgement.verdict == ReplyNotOurs ||
                (judgement.verdict == ReplyInvalid && IsWrite(request) && IsLateEcho(late, buffer, next.bytes))) {
                Ignore(ignored, buffer, next.bytes);
                Consume(buffer, have, next.bytes);
                continue;
            }
            wait.outcome = WaitAnswered;
            wait.judgement = judgement;
            wait.received = next.bytes;
            // Read past it only while out of step: not part of this reply.
            Ignore(ignored, buffer + next.bytes, have - next.bytes);
            return wait;
        }

        // Never past the frame: what follows it is not this reply's.
        const int n = ReceiveWaiting(connection, buffer + have, std::min(next.bytes, capacity) - have);
        if (n > 0) {
            have += n;
            continue;
        }
        if (n < 0) {
            wait.loss = LossOf(n);
            wait.received = have;
            return wait;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (tick() - wait.sendTime > timeoutMs)
            break;
    }

    wait.outcome = WaitTimedOut;
    // Bytes of another transaction were only the start of a late reply.
    if (have >= 2 && (buffer[0] != request[0] || buffer[1] != request[1])) {
        Ignore(ignored, buffer, have);
        have = 0;
    }
    wait.received = have;
    if (IsWrite(request))
        RememberLateWrite(late, request);
    return wait;
}
