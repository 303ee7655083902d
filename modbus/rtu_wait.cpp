#include "modbus/rtu_wait.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "common/tick.h"

namespace {

// A line that keeps talking cannot hold the next request back forever.
constexpr int kMaxQuietRounds = 16;

// A reply whose length its function code does not tell ends once the line
// has been quiet this long: longer than a USB adapter holds bytes back
// (16 ms by default) before it passes them on.
constexpr uint32_t kUnframedQuietMs = 20;

void SleepMicros(uint32_t micros)
{
    std::this_thread::sleep_for(std::chrono::microseconds(micros));
}

void Ignore(IgnoredBytes ignored, const uint8_t* bytes, int count)
{
    if (ignored && count > 0)
        ignored(bytes, count);
}

// Reads out what waits, handing each piece to ignored: RTU frames carry no
// length of their own, so what is late cannot be cut into frames.
LinkLoss Drain(Connection* connection, uint8_t* buffer, int capacity, IgnoredBytes ignored, bool* found)
{
    for (int round = 0; round < kMaxQuietRounds; round++) {
        const int n = ReceiveWaiting(connection, buffer, capacity);
        if (n == 0)
            return LossNone;
        if (n < 0)
            return LossOfReceive(n);
        *found = true;
        Ignore(ignored, buffer, n);
    }
    return LossNone;
}

// Drains what waits, then waits until the line has been silent for the
// silence time: a device starts reading a frame only after one.
LinkLoss QuietLine(Connection* connection, const RtuTiming& timing, uint8_t* buffer, int capacity, IgnoredBytes ignored)
{
    bool found = false;
    LinkLoss loss = Drain(connection, buffer, capacity, ignored, &found);
    for (int round = 0; round < kMaxQuietRounds && loss == LossNone && timing.silenceMicros > 0; round++) {
        SleepMicros(timing.silenceMicros);
        found = false;
        loss = Drain(connection, buffer, capacity, ignored, &found);
        if (!found)
            break;
    }
    return loss;
}

// Milliseconds that characters take on the line, rounded up.
uint32_t WireMs(const RtuTiming& timing, int characters)
{
    return static_cast<uint32_t>((static_cast<uint64_t>(characters) * timing.characterMicros + 999) / 1000);
}

// How many bytes to read next: never past the end of the frame, since what
// follows it is not this reply's.
int NextWant(const uint8_t* buffer, int have)
{
    if (have < 2)
        return 2;
    const int frame = RtuReplyLength(buffer, have);
    // A device identification tells its length only object by object.
    if (frame == 0)
        return std::max(kRtuDataOffset, have + 1);
    return frame > 0 ? frame : kRtuMaxFrameLength;
}

}  // namespace

RtuTiming SerialLineTiming(const SerialSettings& settings)
{
    RtuTiming timing;
    if (settings.baud <= 0)
        return timing;
    const uint32_t bits = 1 + 8 + (settings.parity != ParityNone ? 1 : 0) + (settings.stopBits == 2 ? 2 : 1);
    const auto baud = static_cast<uint32_t>(settings.baud);
    timing.characterMicros = (bits * 1000000 + baud - 1) / baud;
    timing.silenceMicros = settings.baud > 19200 ? 1750 : (bits * 3500000 + baud - 1) / baud;
    return timing;
}

ResponseWait SendAndAwaitRtuResponse(Connection* connection, const RtuTiming& timing, const uint8_t* request,
                                     int length, uint8_t* buffer, int capacity, IgnoredBytes ignored,
                                     uint32_t timeoutMs, uint32_t (*tick)())
{
    if (!tick)
        tick = MillisecondTick;
    ResponseWait wait;
    wait.outcome = WaitLinkLost;
    if (!connection || length < kRtuDeviceIdRequestLength || capacity < kRtuMaxFrameLength) {
        wait.loss = LossSendFailed;
        return wait;
    }
    if (RtuReadRefused(request, length)) {
        wait.outcome = WaitSendFailed;
        return wait;
    }

    if ((wait.loss = QuietLine(connection, timing, buffer, capacity, ignored)) != LossNone)
        return wait;
    if (!SendWholeRequest(connection, request, length, timeoutMs, wait, tick))
        return wait;

    if (RtuIsBroadcast(request, length)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(WireMs(timing, length) + kBroadcastTurnaroundMs));
        wait.outcome = WaitAnswered;
        wait.judgement = {ReplyValid, FaultNone};
        wait.replyTime = tick();
        return wait;
    }

    // A slow line must not eat into the device's time to answer.
    const uint32_t timeout = timeoutMs + WireMs(timing, length + RtuLongestReply(request));
    const uint32_t quietMs = std::max(kUnframedQuietMs, (timing.silenceMicros + 999) / 1000);
    int have = 0;
    uint32_t lastByte = wait.sendTime;
    for (;;) {
        const int frame = have >= 2 ? RtuReplyLength(buffer, have) : 0;
        const bool whole = frame > 0 && have >= frame;
        const uint32_t now = tick();
        const bool unframedEnd =
            frame < 0 && (have >= kRtuMaxFrameLength || static_cast<uint32_t>(now - lastByte) >= quietMs);
        if (whole || unframedEnd) {
            wait.outcome = WaitAnswered;
            wait.received = have;
            wait.judgement = JudgeRtuReply(request, length, buffer, have);
            // An unframed reply ended with its last byte, not with the
            // silence that told us so.
            wait.replyTime = whole ? now : lastByte;
            return wait;
        }
        const uint32_t elapsed = now - wait.sendTime;
        if (elapsed > timeout)
            break;

        const int n = ReceiveWaiting(connection, buffer + have, NextWant(buffer, have) - have);
        if (n > 0) {
            have += n;
            lastByte = tick();
            continue;
        }
        if (n < 0) {
            wait.loss = LossOfReceive(n);
            wait.received = have;
            return wait;
        }
        // Until input comes, the deadline passes, or (a reply of unknown
        // length) the line has been quiet long enough to end it.
        uint32_t waitMs = timeout - elapsed + 1;
        if (frame < 0)
            waitMs = std::min(waitMs, quietMs - static_cast<uint32_t>(now - lastByte));
        WaitReadable(connection, waitMs);
    }
    wait.outcome = WaitTimedOut;
    wait.received = have;
    return wait;
}
