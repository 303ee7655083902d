// Sending one request and collecting the reply that belongs to it: shared by
// the read and the write transactions. No window, no Qt.
#pragma once

#include <array>
#include <cstdint>

#include "connection/transport.h"
#include "modbus/frames.h"
#include "modbus/reply_judge.h"

// A reply completed later than this after the send is a time-out; one
// completed at exactly this many milliseconds is still taken.
constexpr uint32_t kResponseTimeoutMs = 1000;

enum WaitOutcome {
    WaitAnswered,    // a frame with the request's transaction id, judged
    WaitTimedOut,    // none within the time-out
    WaitSendFailed,  // the send took only part of the request
    WaitLinkLost,    // the server closed the connection, it was reset, or the send failed
};

enum LinkLoss { LossNone, LossClosed, LossReset, LossSendFailed };

struct ResponseWait {
    WaitOutcome outcome = WaitSendFailed;
    ReplyJudgement judgement;  // WaitAnswered
    // WaitAnswered: the reply's bytes at the start of the buffer. Otherwise
    // the bytes of a reply to this request that never became whole.
    int received = 0;
    uint32_t sendTime = 0;  // tick taken right after the send
    LinkLoss loss = LossNone;
    bool sent = false;  // the whole request went out
};

// Bytes read and not taken as a reply: late replies to earlier requests,
// and bytes that start no frame. Called on the calling thread.
using IgnoredBytes = void (*)(const uint8_t* bytes, int count);

// Writes that timed out on one connection. They all carry one transaction
// id, so the echo of one of them arriving late is told from a wrong answer
// to the next only by its bytes. Owned by the thread that transacts.
struct LateWrites {
    uint32_t connection = 0;  // the serial of the connection they were sent on
    std::array<std::array<uint8_t, kRequestLength>, 8> echoes{};
    int count = 0;
    int next = 0;
};

// One transaction on connection:
// 1. whatever is waiting before the send is read out and handed to ignored;
//    an end of stream or error there is a lost link and nothing is sent;
// 2. one SendData of the request: -1 is a lost link, fewer bytes a failed
//    send;
// 3. the reply is collected into buffer (capacity at least
//    kMaxFrameLength): its 7-byte header, then as many bytes as its length
//    field says, reading no further. Frames with another transaction id,
//    bytes that start no frame and late echoes of writes in late are
//    handed to ignored, and the wait goes on. The first frame with the
//    request's transaction id ends the wait, judged. Between reads that
//    find nothing the wait sleeps 1 ms; more than timeoutMs since the send
//    is a time-out, and a write that timed out joins late.
// The request is 12 bytes or more, or 11 for a device identification.
// The tick source can be replaced (tests); null means MillisecondTick.
ResponseWait SendAndAwaitResponse(Connection* connection, const uint8_t* request, int length, uint8_t* buffer,
                                  int capacity, IgnoredBytes ignored, LateWrites* late, uint32_t (*tick)() = nullptr,
                                  uint32_t timeoutMs = kResponseTimeoutMs);

// Sends the whole request, for either framing: true with wait.sent and
// wait.sendTime set; false with wait.loss (a send that failed) or outcome
// WaitSendFailed (a short send) set.
bool SendWholeRequest(Connection* connection, const uint8_t* request, int length, ResponseWait& wait,
                      uint32_t (*tick)());
