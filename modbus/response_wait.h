// Sending one request and collecting the reply that belongs to it: shared by
// the read and the write transactions. No window, no Qt.
#pragma once

#include <cstdint>

#include "connection/transport.h"
#include "modbus/frames.h"
#include "modbus/reply_judge.h"

// The time-out the program gives every request: a reply completed later
// than this after the send is a time-out; one completed at exactly this
// many milliseconds is still taken.
constexpr uint32_t kResponseTimeoutMs = 1000;

enum WaitOutcome {
    WaitAnswered,    // a frame with the request's transaction id, judged
    WaitTimedOut,    // none within the time-out
    WaitSendFailed,  // the send took only part of the request
    WaitLinkLost,    // the server closed the connection, it was reset, or the send failed
};

enum LinkLoss {
    LossNone,
    LossClosed,
    LossReset,
    LossSendFailed,
    LossSendTimedOut,  // the connection took none of the request within the time-out
    LossSilent,        // the peer's TCP stopped answering (kPeerSilenceLimitMs)
};

struct ResponseWait {
    WaitOutcome outcome = WaitSendFailed;
    ReplyJudgement judgement;  // WaitAnswered
    // WaitAnswered: the reply's bytes at the start of the buffer. Otherwise
    // the bytes of a reply to this request that never became whole.
    int received = 0;
    uint32_t sendTime = 0;   // tick taken right after the request's last byte went
    uint32_t replyTime = 0;  // WaitAnswered: tick taken right after the reply's last byte came
    LinkLoss loss = LossNone;
    bool sent = false;  // the whole request went out
};

// The device's response time of an answered request in milliseconds: from
// its last byte sent to the reply's last byte received.
inline uint32_t ResponseMs(const ResponseWait& wait)
{
    return wait.replyTime - wait.sendTime;
}

// Bytes read and not taken as a reply: late replies to earlier requests,
// and bytes that start no frame. Called on the calling thread.
using IgnoredBytes = void (*)(const uint8_t* bytes, int count);

// One transaction on connection, given timeoutMs for the whole of it:
// 1. whatever is waiting before the send is read out and handed to ignored;
//    an end of stream or error there is a lost link and nothing is sent;
// 2. the request is sent (SendAll); one that cannot go within timeoutMs is
//    a lost link (LossSendTimedOut when none of it went, WaitSendFailed
//    when part did), an error too (LossSendFailed);
// 3. the reply is collected into buffer (capacity at least
//    kMaxFrameLength): its 7-byte header, then as many bytes as its length
//    field says, reading no further. Frames with another transaction id and
//    bytes that start no frame are handed to ignored, and the wait goes
//    on. The first frame with the request's transaction id ends the wait,
//    judged. The deadline is checked on every pass, so a stream of frames
//    that are not ours cannot stretch it; while nothing waits, the wait
//    sleeps on the descriptor until input comes or the deadline passes.
//    More than timeoutMs since the send is a time-out.
// The request is 12 bytes or more, or 11 for a device identification.
// The tick source can be replaced (tests); null means MillisecondTick.
ResponseWait SendAndAwaitResponse(Connection* connection, const uint8_t* request, int length, uint8_t* buffer,
                                  int capacity, IgnoredBytes ignored, uint32_t timeoutMs, uint32_t (*tick)() = nullptr);

// Sends the whole request within timeoutMs, for either framing: true with
// wait.sent and wait.sendTime set; false with wait.loss (a send that failed
// or took nothing) or outcome WaitSendFailed (part of it went) set.
bool SendWholeRequest(Connection* connection, const uint8_t* request, int length, uint32_t timeoutMs,
                      ResponseWait& wait, uint32_t (*tick)());

// The loss a receive's result stands for (kReceiveClosed and the like).
LinkLoss LossOfReceive(int received);
