// TCP transport: one IPv4 stream socket per connection, blocking send and
// receive. Knows nothing of Modbus, the window or the program's state.
#pragma once

#include <cstdint>
#include <string>

// An open connection; a null pointer stands for none.
struct Connection {
    int fd = -1;
};

enum DataState { NoData, DataReady };

// Prepares the sockets layer; false when no IPv4 stream socket can be made.
bool StartNetwork();
void StopNetwork();

// Opens a TCP connection to host (IPv4 numbers-and-dots by the inet_addr
// rules, else the first IPv4 address of a host name) and the low 16 bits of
// port. Returns none on any failure, including port 0 and the address
// 255.255.255.255. The connect gives up after 3 seconds; a name lookup takes
// as long as the resolver does.
Connection* OpenConnection(const std::string& host, int64_t port);

// Closes the socket at once and releases the record. Null is ignored.
void CloseConnection(Connection* connection);

// One send call; the number of bytes accepted or -1. Never raises SIGPIPE.
int SendData(Connection* connection, const uint8_t* data, int length);

// Sends the text's bytes with no terminator through SendData.
int SendText(Connection* connection, const std::string& text);

// Never blocks: DataReady when at least one received byte is waiting.
// A connection the server has closed reports NoData.
DataState CheckForData(Connection* connection);

// One receive call: bytes placed (1..capacity), 0 when the server has
// closed the connection, -1 on error or when capacity is not positive.
int ReceiveData(Connection* connection, uint8_t* buffer, int capacity);
