// One Modbus RTU transaction: the line kept silent before the request, the
// reply collected by its function code and byte count, then judged. Over a
// serial port or a plain TCP stream (RTU over TCP). No window, no Qt.
#pragma once

#include <cstdint>

#include "connection/line_settings.h"
#include "connection/transport.h"
#include "modbus/response_wait.h"
#include "modbus/rtu_frames.h"

// A write to unit 0 (a broadcast) is answered by no device: it ends as
// sent once the devices have had this long to act on it.
constexpr uint32_t kBroadcastTurnaroundMs = 100;

// The timing of the line the frames travel on. All zero for RTU over TCP,
// where the converter at the far end keeps the serial line's timing.
struct RtuTiming {
    uint32_t characterMicros = 0;  // one character: start, 8 data, parity, stop bits
    uint32_t silenceMicros = 0;    // the quiet line that marks a frame's start: 3.5 characters
};

// A serial line's timing: 10 bits a character, 11 with parity or with two
// stop bits (12 with both); the silence 3.5 characters, and 1750 us above
// 19200 baud.
RtuTiming SerialLineTiming(const SerialSettings& settings);

// One transaction on connection, request being an RTU request
// (BuildRtuRequest) of length bytes (7 for a device identification), given timeoutMs for the device to
// answer:
// 1. whatever is waiting is read out and handed to ignored; then the line
//    must stay silent for timing.silenceMicros, and bytes arriving
//    meanwhile are handed to ignored too; an end of stream or error there
//    is a lost link and nothing is sent;
// 2. the request is sent (SendAll) within timeoutMs: an error is a lost
//    link (a serial adapter pulled out: EIO, ENXIO, ENODEV), as is a
//    request the line took none of (LossSendTimedOut); part of it is a
//    failed send;
// 3. a write to unit 0 then waits kBroadcastTurnaroundMs and ends as
//    WaitAnswered, ReplyValid, with no reply bytes (received 0);
// 4. otherwise the reply is collected into buffer (capacity at least
//    kRtuMaxFrameLength) as far as its function code and byte count say
//    (RtuReplyLength), reading no further; a function code that tells no
//    length takes what comes until the line falls silent. The frame is
//    judged by JudgeRtuReply: WaitAnswered with the verdict (never
//    ReplyNotOurs). While nothing comes the wait sleeps on the descriptor
//    until input comes or the deadline passes; the deadline, checked on
//    every pass, is timeoutMs after the request and the longest expected
//    reply have had time to cross the line. A time-out counts the bytes of
//    an unfinished reply in received.
// A read from unit 0 (RtuReadRefused) is not sent at all: WaitSendFailed,
// sent false, loss LossNone; the caller refuses it before.
// The tick source can be replaced (tests); null means MillisecondTick.
ResponseWait SendAndAwaitRtuResponse(Connection* connection, const RtuTiming& timing, const uint8_t* request,
                                     int length, uint8_t* buffer, int capacity, IgnoredBytes ignored,
                                     uint32_t timeoutMs, uint32_t (*tick)() = nullptr);
