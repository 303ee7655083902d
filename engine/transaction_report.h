// The outcomes that read and write transactions report the same way:
// status text, counters and log lines. Worker thread.
#pragma once

#include <cstdint>

#include "modbus/frames.h"
#include "modbus/response_wait.h"

struct WireExchange;

constexpr const char* kStatusOk = "Read Status: OK";
constexpr const char* kStatusTimeout = "Status: Timeout Error";
constexpr const char* kStatusWrongLength = "Status: Wrong Length Error";
constexpr const char* kStatusInvalid = "Status: Invalid Response";
constexpr const char* kStatusLinkLost = "Status: Connection Lost";
constexpr const char* kStatusReadsRefused = "Status: Read Refused (unit 0 is broadcast)";

// True for a transaction whose reply is the valid answer to its request.
bool AnsweredValid(const ResponseWait& wait);

// Counts a valid reply (valid + 1), notes that the connection carries
// answers (the reconnect back-off starts afresh when it is lost), and
// records the device's response time for the tips; returns that time (ms).
uint32_t CountValidReply(const ResponseWait& wait);

// Ends a transaction that did not end valid, with bad + 1 and its cause:
// - an exception: the response in red, the exception code's status text
//   (codes without one leave the status as it is; the code at buffer[8]),
//   elapsed time;
// - an invalid answer: the response in red, "Status: Invalid Response" and
//   what is wrong with it (a wrong CRC counted apart), elapsed time;
// - a time-out: its status text; with bytes of an incomplete reply, the
//   wrong length's status text and the elapsed time instead;
// - a lost link: its status text and one red line saying how it was lost
//   (in a serial port's words on one).
// Returns true when the link is lost: nothing more may be sent on it.
bool ReportBadOutcome(const WireExchange& exchange, const uint8_t* buffer);

// The dark grey "<> ElapsedTime: ..." line, measured from sendTime to now
// (after a valid read, the values shown included).
void AppendElapsedLine(uint32_t sendTime);

// Logs bytes read but not taken as a reply ("IGNORED <-: ..."), dark grey:
// the first few pieces of a transaction one by one, the rest counted...
void LogIgnoredBytes(const uint8_t* bytes, int count);
// ...and told in one line when the transaction is over.
void EndIgnoredBytes();
