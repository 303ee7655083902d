#include "modbus/response_wait.h"

#include <algorithm>
#include <cstring>

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

// Reads out what waits before a request, frame by frame where the bytes
// can be framed, and hands it to ignored.
LinkLoss DrainWaiting(Connection* connection, uint8_t* buffer, int capacity, IgnoredBytes ignored)
{
    for (int round = 0; round < kMaxDrainReads; round++) {
        const int n = ReceiveWaiting(connection, buffer, capacity);
        if (n == 0)
            return LossNone;
        if (n < 0)
            return LossOfReceive(n);
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

}  // namespace

LinkLoss LossOfReceive(int received)
{
    switch (received) {
    case kReceiveClosed:
        return LossClosed;
    case kReceiveTimedOut:
        return LossSilent;
    default:
        return LossReset;
    }
}

bool SendWholeRequest(Connection* connection, const uint8_t* request, int length, uint32_t timeoutMs,
                      ResponseWait& wait, uint32_t (*tick)())
{
    const int sent = SendAll(connection, request, length, timeoutMs);
    if (sent < 0) {
        wait.loss = LossSendFailed;
        return false;
    }
    if (sent == 0 && length > 0) {
        wait.loss = LossSendTimedOut;
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
                                  int capacity, IgnoredBytes ignored, uint32_t timeoutMs, uint32_t (*tick)())
{
    if (!tick)
        tick = MillisecondTick;
    ResponseWait wait;
    wait.outcome = WaitLinkLost;
    if (!connection || length < kDeviceIdRequestLength || capacity < kMaxFrameLength) {
        wait.loss = LossSendFailed;
        return wait;
    }

    if ((wait.loss = DrainWaiting(connection, buffer, capacity, ignored)) != LossNone)
        return wait;
    if (!SendWholeRequest(connection, request, length, timeoutMs, wait, tick))
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
        if (next.step == CollectFrame) {
            const ReplyJudgement judgement = JudgeReply(request, length, buffer, next.bytes);
            if (judgement.verdict != ReplyNotOurs) {
                wait.outcome = WaitAnswered;
                wait.judgement = judgement;
                wait.received = next.bytes;
                wait.replyTime = tick();
                // Read past it only while out of step: not part of this reply.
                Ignore(ignored, buffer + next.bytes, have - next.bytes);
                return wait;
            }
            next.step = CollectSkip;
        }
        if (next.step == CollectSkip) {
            Ignore(ignored, buffer, next.bytes);
            Consume(buffer, have, next.bytes);
        }

        // Every pass, also one that only dropped a frame of another
        // transaction: a flood of them cannot stretch the time-out.
        const uint32_t elapsed = tick() - wait.sendTime;
        if (elapsed > timeoutMs)
            break;
        if (next.step == CollectSkip)
            continue;

        // Never past the frame: what follows it is not this reply's.
        const int n = ReceiveWaiting(connection, buffer + have, std::min(next.bytes, capacity) - have);
        if (n > 0) {
            have += n;
            continue;
        }
        if (n < 0) {
            wait.loss = LossOfReceive(n);
            wait.received = have;
            return wait;
        }
        // Until input comes, or just past the deadline.
        WaitReadable(connection, timeoutMs - elapsed + 1);
    }

    wait.outcome = WaitTimedOut;
    // Bytes of another transaction were only the start of a late reply.
    if (have >= 2 && (buffer[0] != request[0] || buffer[1] != request[1])) {
        Ignore(ignored, buffer, have);
        have = 0;
    }
    wait.received = have;
    return wait;
}
