// Cutting a client's byte stream into Modbus/TCP requests, and telling a
// Modbus client from a free-text command on a fresh connection. Bytes in,
// verdict out; no I/O.
#pragma once

#include <cstddef>
#include <cstdint>

// MBAP header (7 bytes) plus the largest PDU.
constexpr size_t kMaxRequestLength = 260;

enum class StreamKind {
    Undecided,  // too few bytes yet to tell
    Modbus,     // starts with a valid Modbus/TCP header
    Command     // anything else: free text
};

// What the first bytes of a connection are. A Modbus/TCP header has protocol
// id 0 and a length of 2..254; text such as "quit" fails at its third byte.
StreamKind ClassifyStream(const uint8_t* bytes, size_t size);

// The length of the first complete request in a Modbus stream: 0 while more
// bytes are needed, -1 when the header is not valid Modbus/TCP (the stream
// cannot be resynchronised after that).
int NextRequestLength(const uint8_t* bytes, size_t size);

// How a complete request is to be answered.
enum class RequestCheck {
    Serve,        // a served function with a body of the right size
    BadFunction,  // not one of 1-6, 15, 16, 43: exception 1
    BadLength     // the body does not match its function: exception 3
};

// libmodbus reads a request's fields from its body, trusting the counts in
// it, so a body shorter or longer than its function needs is refused here.
RequestCheck CheckRequest(const uint8_t* request, int length);

// The length of the Modbus RTU request that starts with bytes (unit id,
// function, ..., CRC) by its function code: 8 for functions 1 to 6, 9 plus
// the byte count for 15 and 16, 7 for 43. 0 while more bytes are needed to
// tell, -1 for a function whose requests have no length this knows (the
// request then ends where the line falls silent).
int RtuRequestLength(const uint8_t* bytes, size_t size);
