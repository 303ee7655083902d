// Modbus RTU frames: the unit id, the same PDU as a Modbus/TCP request and
// the CRC-16 of Modbus, low byte first. Bytes in, record or status out: no
// I/O, no clock, no Qt.
#pragma once

#include <cstdint>

#include "modbus/reply_judge.h"

constexpr int kRtuCrcLength = 2;
constexpr int kRtuRequestLength = 8;          // unit, function, address, quantity or value, CRC
constexpr int kRtuDeviceIdRequestLength = 7;  // unit, 43, MEI type, read code, object id, CRC
constexpr int kRtuExceptionLength = 5;        // unit, function | 0x80, code, CRC
constexpr int kRtuExceptionCodeOffset = 2;    // the code of an exception reply
constexpr int kRtuDataOffset = 3;             // data bytes of a read reply
constexpr int kRtuWriteReplyLength = 8;       // the echo of a write
// The longest reply a byte count can announce: unit, function, count,
// 255 data bytes, CRC.
constexpr int kRtuMaxFrameLength = 260;
constexpr uint8_t kRtuBroadcastUnit = 0;

// The CRC-16 of Modbus (polynomial 0xA001 reflected, start 0xFFFF) of count
// bytes. On the wire its low byte goes first: 01 03 00 00 00 0A gives C5 CD.
uint16_t RtuCrc(const uint8_t* bytes, int count);

// True when the frame's last two bytes are the CRC of the bytes before them.
bool RtuCrcValid(const uint8_t* frame, int count);

// The RTU request for a Modbus/TCP request of tcpLength bytes (as frames.h
// builds them): its unit id and PDU, the bytes after the first six, then
// their CRC. Returns the RTU length (8 for a 12-byte request), or 0 when
// tcpLength cannot be a request (fewer than 8 or more than 260 bytes).
int BuildRtuRequest(uint8_t* out, const uint8_t* tcpRequest, int tcpLength);

// How many bytes the reply that starts with bytes needs in all, by its
// function code and, for a read, its byte count: a read 5 + byte count, an
// exception 5, a write (5, 6, 15, 16) 8, a device identification (43) 3 +
// the PDU its object list makes. 0 while too few bytes are there to tell,
// -1 for a function code whose replies have no known length (or an object
// list no frame can hold).
int RtuReplyLength(const uint8_t* bytes, int count);

// The longest reply the RTU request can be answered with, in bytes: a
// write's echo, a read's data for its quantity (at most a whole frame), a
// whole frame for a device identification.
int RtuLongestReply(const uint8_t* request);

// Judges the count bytes of frame as the reply to the RTU request:
// - a wrong CRC is FaultCrc, whatever else is wrong;
// - a read: valid only with the request's unit id and function code and the
//   byte count the requested quantity needs;
// - a write: valid only as its echo (5, 6: the whole request; 15, 16: the
//   request's address and quantity);
// - a device identification (function 43, a request of 7 bytes): valid
//   only with an object list that fills the frame up to its CRC;
// - an exception: 5 bytes with the request's unit id and function | 0x80.
// There is no transaction id, so the verdict is never ReplyNotOurs.
ReplyJudgement JudgeRtuReply(const uint8_t* request, int requestLength, const uint8_t* frame, int count);

// Unit id 0 is a broadcast: every device on the line acts on it and none
// answers.
bool RtuIsBroadcast(const uint8_t* request, int length);

// A read from unit 0 can have no answer: it is refused before it is sent.
bool RtuReadRefused(const uint8_t* request, int length);
