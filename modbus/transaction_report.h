// The outcomes that read and write transactions report the same way:
// status text, counters and log lines. Worker thread.
#pragma once

#include <cstdint>

#include "modbus/frames.h"
#include "modbus/response_wait.h"

constexpr const char* kStatusOk = "Read Status: OK";
constexpr const char* kStatusTimeout = "Status: Timeout Error";
constexpr const char* kStatusWrongLength = "Status: Wrong Length Error";
constexpr const char* kStatusTransmission = "Status: Transmission Error";

// A send that failed or a response that never came: its status text and
// bad + 1; nothing is logged.
void ReportUnanswered(WaitOutcome outcome);

// A response judged anything but valid, received into buffer:
// - an exception: bad + 1, the response in red, the exception code's status
//   text (codes without one leave the status as it is), elapsed time;
// - a wrong length: bad + 1, its status text, elapsed time; the bytes are
//   not logged.
void ReportInvalidResponse(ResponseKind kind, const uint8_t* buffer, const ResponseWait& wait);

// The dark grey "<> ElapsedTime: ..." line, measured from sendTime to now;
// returns the milliseconds it shows.
uint32_t AppendElapsedLine(uint32_t sendTime);
