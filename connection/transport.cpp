#include "connection/transport.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>

namespace {

// An unreachable host must not freeze the window for the minutes the
// kernel would otherwise keep retrying the SYN.
constexpr int kConnectTimeoutMs = 3000;

// Numbers-and-dots first (inet_aton: 1 to 4 parts, each decimal, octal or
// hex, so "127.0.01" and "0x7f.1" both mean 127.0.0.1), else the first IPv4
// address a name lookup gives. glibc's inet_aton also accepts whatever
// follows a blank ("10.0.0.5 x"); we keep that, since it lets a host text
// with a stray trailing blank connect and the address read is still the
// one the text starts with.
bool ResolveHost(const std::string& host, in_addr* address)
{
    // A C string ends at the first NUL; a text with one inside names nothing.
    if (host.empty() || host.find('\0') != std::string::npos)
        return false;

    if (inet_aton(host.c_str(), address) == 0) {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr)
            return false;
        *address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
        freeaddrinfo(found);
    }

    // The all-ones address is what a failed parse used to look like and is
    // never a server: refuse it however it was reached.
    return address->s_addr != htonl(INADDR_NONE);
}

// Connects a non-blocking socket within the time limit; true when connected.
bool ConnectBounded(int fd, const sockaddr_in& target)
{
    if (connect(fd, reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0)
        return true;
    if (errno != EINPROGRESS && errno != EINTR)
        return false;

    // poll(), not select(): select() cannot watch descriptors >= 1024.
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kConnectTimeoutMs);
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return false;
        pollfd waiting{fd, POLLOUT, 0};
        int ready = poll(&waiting, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        break;
    }

    int error = 0;
    socklen_t size = sizeof error;
    return getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
}

}  // namespace

bool StartNetwork()
{
    // Nothing to initialise; a probe socket tells whether IPv4 TCP exists.
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    close(fd);
    return true;
}

// POSIX sockets need no process-wide set-up or teardown.
void StopNetwork() {}

Connection* OpenConnection(const std::string& host, int64_t port)
{
    const auto port16 = static_cast<uint16_t>(static_cast<uint64_t>(port) & 0xFFFF);
    if (port16 == 0)
        return nullptr;

    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port16);
    if (!ResolveHost(host, &target.sin_addr))
        return nullptr;

    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return nullptr;

    // Send and receive rely on blocking calls, so the socket goes back to
    // blocking mode once connected.
    int flags = -1;
    if (!ConnectBounded(fd, target) || (flags = fcntl(fd, F_GETFL)) < 0 ||
        fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) < 0) {
        close(fd);
        return nullptr;
    }
    return new Connection{fd};
}

void CloseConnection(Connection* connection)
{
    if (connection == nullptr)
        return;
    if (connection->fd >= 0)
        close(connection->fd);
    delete connection;
}

int SendData(Connection* connection, const uint8_t* data, int length)
{
    if (connection == nullptr || length < 0 || (data == nullptr && length > 0))
        return -1;
    // MSG_NOSIGNAL: a peer that has gone away gives -1 (EPIPE), not SIGPIPE,
    // which would end the whole program.
    ssize_t sent;
    do
        sent = send(connection->fd, data, static_cast<size_t>(length), MSG_NOSIGNAL);
    while (sent < 0 && errno == EINTR);
    return static_cast<int>(sent);
}

int SendText(Connection* connection, const std::string& text)
{
    const size_t length = text.size() < static_cast<size_t>(INT_MAX) ? text.size() : INT_MAX;
    return SendData(connection, reinterpret_cast<const uint8_t*>(text.data()), static_cast<int>(length));
}

DataState CheckForData(Connection* connection)
{
    if (connection == nullptr)
        return NoData;
    int waiting = 0;
    if (ioctl(connection->fd, FIONREAD, &waiting) < 0)
        return NoData;
    return waiting > 0 ? DataReady : NoData;
}

int ReceiveData(Connection* connection, uint8_t* buffer, int capacity)
{
    // A zero-byte receive would return 0 and read as "server closed".
    if (connection == nullptr || buffer == nullptr || capacity <= 0)
        return -1;
    ssize_t received;
    do
        received = recv(connection->fd, buffer, static_cast<size_t>(capacity), 0);
    while (received < 0 && errno == EINTR);
    return static_cast<int>(received);
}
