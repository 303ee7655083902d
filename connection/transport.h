// TCP transport: one IPv4 stream socket per connection, blocking send and
// receive. A serial port (serial_port.h) is a connection too, so that the
// same calls serve both. Knows nothing of Modbus, the window or the
// program's state.
#pragma once

#include <cstdint>
#include <string>

// What the descriptor of a connection is.
enum ConnectionKind {
    ConnectionSocket,      // a TCP socket: send and recv
    ConnectionSerialPort,  // a terminal device, non-blocking: write and read
};

// An open connection; a null pointer stands for none.
struct Connection {
    int fd = -1;
    ConnectionKind kind = ConnectionSocket;
};

// A peer that vanished without closing (power cut, cable pulled) is given
// up after this long without an acknowledgement of what was sent (or of
// the keep-alive probes of an idle connection): the next receive then
// reports kReceiveTimedOut.
constexpr unsigned kPeerSilenceLimitMs = 10000;

// Prepares the sockets layer; false when no IPv4 stream socket can be made.
bool StartNetwork();
void StopNetwork();

// Why a connection could not be opened.
enum ConnectFailure {
    ConnectOk,
    ConnectNoHost,  // not an address, and no name lookup found one
    ConnectRefused,
    ConnectTimedOut,
    ConnectUnreachable,
    ConnectCancelled,
    ConnectNoDevice,    // a serial port: no such device
    ConnectPermission,  // a serial port: not permitted to open it
    ConnectBusy,        // a serial port: another program has it
    ConnectNotSerial,   // the path is not a serial device
    ConnectFailed,      // anything else (no socket, port 0, ...)
};
// "connection refused", ...: short, for a log line.
const char* ConnectFailureText(ConnectFailure failure);

// Opens a TCP connection to host (IPv4 numbers-and-dots by the inet_addr
// rules, else the first IPv4 address of a host name) and the low 16 bits of
// port. Returns none on any failure, including port 0 and the address
// 255.255.255.255. The connect gives up after 3 seconds; a name lookup takes
// as long as the resolver does. The connection keeps itself alive and ends
// after kPeerSilenceLimitMs of silence from the peer's TCP.
Connection* OpenConnection(const std::string& host, int64_t port);
// The same, abandoned as soon as cancelFd (when not -1) becomes readable,
// and telling why it failed when failure is not null.
Connection* OpenConnection(const std::string& host, int64_t port, int cancelFd, ConnectFailure* failure);

// Closes the socket at once and releases the record. Null is ignored.
void CloseConnection(Connection* connection);

// One send call; the number of bytes accepted or -1. Never raises SIGPIPE.
// On a serial port: every byte is written (a full output buffer is waited
// out for up to a second), or -1.
int SendData(Connection* connection, const uint8_t* data, int length);

// Sends the text's bytes with no terminator through SendData.
int SendText(Connection* connection, const std::string& text);

// Sends all length bytes, waiting while the connection takes no more, for
// timeoutMs at most in all: length, or fewer when the time ran out first
// (0 when none went), or -1 on an error. Never blocks past the time-out,
// never raises SIGPIPE.
int SendAll(Connection* connection, const uint8_t* data, int length, uint32_t timeoutMs);

// Waits up to timeoutMs for input (or an end of stream or error) to read:
// true when there is, false when the time ran out.
bool WaitReadable(Connection* connection, uint32_t timeoutMs);

// What ReceiveWaiting gives when the server has closed its end, and when
// the peer went silent for kPeerSilenceLimitMs.
constexpr int kReceiveClosed = -2;
constexpr int kReceiveTimedOut = -3;

// One receive that never blocks: the bytes placed (1..capacity), 0 when
// none are waiting, kReceiveClosed when the server has closed the
// connection (a serial port: hung up), kReceiveTimedOut when the peer went
// silent, -1 on another error (a reset; a serial adapter pulled out) or
// when capacity is not positive.
int ReceiveWaiting(Connection* connection, uint8_t* buffer, int capacity);
