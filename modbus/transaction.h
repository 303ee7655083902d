// One transaction on a connection, for every transport: the line read out
// and kept quiet, the request sent, its reply collected as far as its
// framing says and judged (framing.h, reply_judge.h). Shared by the poll
// worker's reads and writes and by the scans. No window, no Qt.
#pragma once

#include <cstdint>

#include "connection/line_settings.h"
#include "connection/transport.h"
#include "modbus/framing.h"
#include "modbus/outcome.h"

// A write to unit 0 on RTU (a broadcast) is answered by no device: it ends
// as sent once the devices have had this long to act on it.
constexpr uint32_t kBroadcastTurnaroundMs = 100;

// The timing of the line the frames travel on. All zero over TCP, where
// the far end (a Modbus/TCP server, an RTU converter) keeps its own.
struct LineTiming {
    uint32_t characterMicros = 0;  // one character: start, 8 data, parity, stop bits
    uint32_t silenceMicros = 0;    // the quiet line that marks a frame's start: 3.5 characters
};

// A serial line's timing: 10 bits a character, 11 with parity or with two
// stop bits (12 with both); the silence 3.5 characters, and 1750 us above
// 19200 baud.
LineTiming SerialLineTiming(const SerialSettings& settings);

// What a transaction goes over.
struct Wire {
    Connection* connection = nullptr;
    Framing framing = kModbusTcpFraming;
    LineTiming timing;
    // A reply from another unit id than the request's is taken.
    bool anyUnitId = false;
};

// One request and what came of it.
struct Transaction {
    Outcome outcome;
    // OutcomeValid, OutcomeException, OutcomeInvalid: the reply's envelope
    // and PDU, in the buffer (an invalid reply's as far as it has them).
    FrameView reply;
    // Those three: the reply's bytes at the start of the buffer. Otherwise
    // the bytes of a reply to this request that never became whole.
    int received = 0;
    // Refused for its unit id alone (FaultUnitId): from any unit id it
    // would have been valid or an exception.
    bool unitOnly = false;
    bool sent = false;       // the whole request went out
    uint32_t sendTime = 0;   // tick taken right after the request's last byte went
    uint32_t replyTime = 0;  // answered: tick taken right after the reply's last byte came
};

// A reply came: valid, an exception, or invalid.
bool Answered(const Transaction& transaction);

// The device's response time of an answered request in milliseconds: from
// its last byte sent to the reply's last byte received.
inline uint32_t ResponseMs(const Transaction& transaction)
{
    return transaction.replyTime - transaction.sendTime;
}

// Bytes read and not taken as a reply: late replies to earlier requests,
// and bytes that start no frame. Called on the calling thread.
using IgnoredBytes = void (*)(const uint8_t* bytes, int count);

// One transaction of request, the length bytes that go on the wire
// (FrameRequest), over wire, given timeoutMs for the device to answer:
// 1. whatever is waiting is read out and handed to ignored (cut into frames
//    where the framing tells their length); on a line with a silence, the
//    line must then stay quiet that long, and what arrives meanwhile goes
//    to ignored too; an end of stream or error there is a lost link and
//    nothing is sent;
// 2. the request is sent (SendAll) within timeoutMs: an error is a lost
//    link (LossSendFailed; a serial adapter pulled out), as is a request the
//    connection took none of (LossSendTimedOut) or only part of
//    (LossPartlySent);
// 3. on a framing with broadcasts, a write to unit 0 then waits for the
//    devices to act (OutcomeBroadcast), and a read from unit 0 is not sent
//    at all (OutcomeRefused);
// 4. otherwise the reply is collected into buffer (capacity at least
//    kMaxFrameLength) as far as its framing says, reading no further (the
//    Modbus/TCP header's length field; RTU: the function code and byte
//    count; a function code that tells no length takes what comes until
//    the line falls silent). Frames of another transaction and bytes that
//    start no frame go to ignored, and the wait goes on; the reply is
//    judged (JudgeReply). The deadline is checked on every pass, so a
//    stream of frames that are not ours cannot stretch it; while nothing
//    comes the wait sleeps on the descriptor until input comes or the
//    deadline passes: timeoutMs after the request and its longest reply
//    have had time to cross the line. A time-out with bytes of the reply
//    is OutcomeIncomplete.
// The tick source can be replaced (tests); null means MillisecondTick.
Transaction Transact(const Wire& wire, const uint8_t* request, int length, uint8_t* buffer, int capacity,
                     IgnoredBytes ignored, uint32_t timeoutMs, uint32_t (*tick)() = nullptr);
