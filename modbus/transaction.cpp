#include "modbus/transaction.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "common/tick.h"
#include "modbus/pdu_sizes.h"
#include "modbus/reply_judge.h"

namespace {

// A peer that keeps sending cannot hold the next request back forever.
constexpr int kMaxDrainReads = 16;

// A reply whose length its function code does not tell ends once the line
// has been quiet this long: longer than a USB adapter holds bytes back
// (16 ms by default) before it passes them on.
constexpr uint32_t kUnframedQuietMs = 20;

// The shortest request PDU: a device identification's.
constexpr int kShortestRequestPdu = 4;

void Ignore(IgnoredBytes ignored, const uint8_t* bytes, int count)
{
    if (ignored && count > 0)
        ignored(bytes, count);
}

void Consume(uint8_t* buffer, int& have, int count)
{
    std::memmove(buffer, buffer + count, static_cast<size_t>(have - count));
    have -= count;
}

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

Transaction LinkLost(Transaction transaction, LinkLoss loss)
{
    transaction.outcome.kind = OutcomeLinkLost;
    transaction.outcome.loss = loss;
    return transaction;
}

// Reads out what waits, handing it to ignored frame by frame where the
// framing tells a frame's length from its header (what is late on RTU
// cannot be cut into frames). *found: something was there.
LinkLoss Drain(const Wire& wire, uint8_t* buffer, int capacity, IgnoredBytes ignored, bool* found)
{
    for (int round = 0; round < kMaxDrainReads; round++) {
        const int n = ReceiveWaiting(wire.connection, buffer, capacity);
        if (n == 0)
            return LossNone;
        if (n < 0)
            return LossOfReceive(n);
        *found = true;
        for (int at = 0; at < n;) {
            int frame = wire.framing.length == LengthInHeader ? FrameLength(wire.framing, buffer + at, n - at) : 0;
            if (frame <= 0 || frame > n - at)
                frame = n - at;
            Ignore(ignored, buffer + at, frame);
            at += frame;
        }
    }
    return LossNone;
}

// Drains what waits, then, on a line with a silence, waits until the line
// has been silent that long: a device starts reading a frame only after one.
LinkLoss QuietLine(const Wire& wire, uint8_t* buffer, int capacity, IgnoredBytes ignored)
{
    bool found = false;
    LinkLoss loss = Drain(wire, buffer, capacity, ignored, &found);
    for (int round = 0; round < kMaxDrainReads && loss == LossNone && wire.timing.silenceMicros > 0; round++) {
        std::this_thread::sleep_for(std::chrono::microseconds(wire.timing.silenceMicros));
        found = false;
        loss = Drain(wire, buffer, capacity, ignored, &found);
        if (!found)
            break;
    }
    return loss;
}

// Milliseconds that characters take on the line, rounded up.
uint32_t WireMs(const LineTiming& timing, int characters)
{
    return static_cast<uint32_t>((static_cast<uint64_t>(characters) * timing.characterMicros + 999) / 1000);
}

// Sends the whole request within timeoutMs: true with t.sent and
// t.sendTime set, false with the loss set.
bool SendWhole(const Wire& wire, const uint8_t* request, int length, uint32_t timeoutMs, uint32_t (*tick)(),
               Transaction& t)
{
    const int sent = SendAll(wire.connection, request, length, timeoutMs);
    if (sent == length) {
        t.sent = true;
        t.sendTime = tick();
        return true;
    }
    t = LinkLost(t, sent < 0 ? LossSendFailed : sent == 0 ? LossSendTimedOut : LossPartlySent);
    return false;
}

}  // namespace

LineTiming SerialLineTiming(const SerialSettings& settings)
{
    LineTiming timing;
    if (settings.baud <= 0)
        return timing;
    const uint32_t bits = 1 + 8 + (settings.parity != ParityNone ? 1 : 0) + (settings.stopBits == 2 ? 2 : 1);
    const auto baud = static_cast<uint32_t>(settings.baud);
    timing.characterMicros = (bits * 1000000 + baud - 1) / baud;
    timing.silenceMicros = settings.baud > 19200 ? 1750 : (bits * 3500000 + baud - 1) / baud;
    return timing;
}

bool Answered(const Transaction& transaction)
{
    const OutcomeKind kind = transaction.outcome.kind;
    return kind == OutcomeValid || kind == OutcomeException || kind == OutcomeInvalid;
}

Transaction Transact(const Wire& wire, const uint8_t* request, int length, uint8_t* buffer, int capacity,
                     IgnoredBytes ignored, uint32_t timeoutMs, uint32_t (*tick)())
{
    if (!tick)
        tick = MillisecondTick;
    const Framing& framing = wire.framing;
    Transaction t;
    FrameView sent;
    if (!wire.connection || capacity < kMaxFrameLength || !ViewFrame(framing, request, length, &sent) ||
        sent.pduLength < kShortestRequestPdu)
        return LinkLost(t, LossSendFailed);
    const bool toEveryDevice = framing.broadcastUnit0 && sent.unit == 0;
    if (toEveryDevice && IsReadFunction(sent.pdu[0])) {
        t.outcome.kind = OutcomeRefused;
        return t;
    }

    if (const LinkLoss loss = QuietLine(wire, buffer, capacity, ignored); loss != LossNone)
        return LinkLost(t, loss);
    if (!SendWhole(wire, request, length, timeoutMs, tick, t))
        return t;

    if (toEveryDevice && IsWriteFunction(sent.pdu[0])) {
        std::this_thread::sleep_for(std::chrono::milliseconds(WireMs(wire.timing, length) + kBroadcastTurnaroundMs));
        t.outcome.kind = OutcomeBroadcast;
        t.replyTime = tick();
        return t;
    }

    // The wait, from the send on: a slow line must not eat into the
    // device's time to answer.
    const uint32_t waitLimitMs = timeoutMs + WireMs(wire.timing, length + LongestReplyFrame(framing, sent));
    const uint32_t quietMs = std::max(kUnframedQuietMs, (wire.timing.silenceMicros + 999) / 1000);
    int have = 0;
    uint32_t lastByte = t.sendTime;
    for (;;) {
        const uint32_t now = tick();
        CollectDecision next = NextCollectStep(framing, sent, buffer, have);
        if (next.step == CollectSkip) {
            // Out of step: take in what else waits, so that it is dropped
            // in one piece rather than header by header.
            const int more = ReceiveWaiting(wire.connection, buffer + have, capacity - have);
            if (more > 0) {
                have += more;
                lastByte = tick();
                next = NextCollectStep(framing, sent, buffer, have);
            }
        }
        // A reply whose length cannot be told ends where the line falls silent.
        if (next.step == CollectUntilQuiet && (have >= kMaxFrameLength || now - lastByte >= quietMs))
            next = {CollectFrame, have};
        if (next.step == CollectFrame) {
            t.outcome = JudgeReply(framing, sent, buffer, next.bytes, wire.anyUnitId);
            t.unitOnly = t.outcome.fault == FaultUnitId && RefusedForUnitOnly(framing, sent, buffer, next.bytes);
            ViewFrame(framing, buffer, next.bytes, &t.reply);
            t.received = next.bytes;
            t.replyTime = lastByte;
            // Read past it only while out of step: not part of this reply.
            Ignore(ignored, buffer + next.bytes, have - next.bytes);
            return t;
        }
        if (next.step == CollectSkip) {
            Ignore(ignored, buffer, next.bytes);
            Consume(buffer, have, next.bytes);
        }

        // Every pass, also one that only dropped a frame of another
        // transaction: a flood of them cannot stretch the time-out.
        const uint32_t elapsed = now - t.sendTime;
        if (elapsed > waitLimitMs)
            break;
        if (next.step == CollectSkip)
            continue;

        // Never past the frame: what follows it is not this reply's.
        const int n = ReceiveWaiting(wire.connection, buffer + have, std::min(next.bytes, capacity) - have);
        if (n > 0) {
            have += n;
            lastByte = tick();
            continue;
        }
        if (n < 0) {
            t.received = have;
            return LinkLost(t, LossOfReceive(n));
        }
        // Until input comes, the deadline passes, or (a reply of unknown
        // length) the line has been quiet long enough to end it.
        uint32_t waitMs = waitLimitMs - elapsed + 1;
        if (next.step == CollectUntilQuiet)
            waitMs = std::min(waitMs, quietMs - (now - lastByte));
        WaitReadable(wire.connection, waitMs);
    }

    // Bytes of another transaction were only the start of a late reply.
    if (OfAnotherTransaction(framing, sent, buffer, have)) {
        Ignore(ignored, buffer, have);
        have = 0;
    }
    t.outcome.kind = have > 0 ? OutcomeIncomplete : OutcomeTimeout;
    t.received = have;
    return t;
}
