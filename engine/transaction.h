// What the read and write transactions of a cycle do alike: the request
// framed for the link with a transaction id of its own, logged, sent and its
// reply collected; then what came of it counted and reported in the status
// text and the log. Worker thread.
#pragma once

#include <cstdint>

#include "modbus/transaction.h"

constexpr const char* kStatusOk = "Read Status: OK";
constexpr const char* kStatusTimeout = "Status: Timeout Error";
constexpr const char* kStatusWrongLength = "Status: Wrong Length Error";
constexpr const char* kStatusInvalid = "Status: Invalid Response";
constexpr const char* kStatusLinkLost = "Status: Connection Lost";
constexpr const char* kStatusReadsRefused = "Status: Read Refused (unit 0 is broadcast)";

// Before each request: waits out the connect delay of a connection just
// opened and the gap since the latest transaction ended, as the device
// settings in force ask. False, at once or during the wait, once the cycle
// is asked to stop: nothing more may then be sent.
bool ReadyForRequest();

// One transaction of request (a Modbus/TCP frame of length bytes as frames.h
// builds it) on the link: poll + 1; framed for the link's transport with the
// next transaction id; logged in blue before it is sent ("POKE ->: " for a
// write); its reply collected into buffer (kCycleBufferSize bytes) within the
// device's time-out. Bytes taken for no reply are logged as ignored, a flood
// of them in a few lines.
Transaction RunTransaction(const uint8_t* request, int length, bool write, uint8_t* buffer);

// Counts a valid reply (valid + 1), notes that the connection carries
// answers (the reconnect back-off starts afresh when it is lost), and
// records the device's response time for the tips; returns that time (ms).
uint32_t CountValidReply(const Transaction& transaction);

// Ends a transaction that did not end valid, with bad + 1 and its cause
// counted for the tips and the cycle's sample:
// - an exception: the reply (at the start of buffer) in red, the exception
//   code's status text (codes without one leave the status as it is),
//   elapsed time;
// - an invalid reply: the reply in red, "Status: Invalid Response" and what
//   is wrong with it, elapsed time; for a reply refused for its unit id
//   alone, once a connection, which unit id the device answers as and how
//   to reach it;
// - an incomplete reply: the wrong length's status text and the elapsed
//   time (its bytes are not logged);
// - a time-out: its status text;
// - a lost link: its status text and one red line saying how it was lost
//   (in a serial port's words on one).
// Returns true when the link is lost: nothing more may be sent on it.
bool ReportBadOutcome(const Transaction& transaction, const uint8_t* buffer);

// The dark grey "<> ElapsedTime: ..." line, measured from sendTime to now
// (after a valid read, the values shown included).
void AppendElapsedLine(uint32_t sendTime);
