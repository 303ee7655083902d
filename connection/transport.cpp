#include "connection/transport.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
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

ConnectFailure FailureOfErrno(int error)
{
    switch (error) {
    case ECONNREFUSED:
        return ConnectRefused;
    case ETIMEDOUT:
        return ConnectTimedOut;
    case ENETUNREACH:
    case EHOSTUNREACH:
        return ConnectUnreachable;
    default:
        return ConnectFailed;
    }
}

// Connects a non-blocking socket within the time limit, or until cancelFd
// becomes readable.
ConnectFailure ConnectBounded(int fd, const sockaddr_in& target, int cancelFd)
{
    if (connect(fd, reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0)
        return ConnectOk;
    if (errno != EINPROGRESS && errno != EINTR)
        return FailureOfErrno(errno);

    // poll(), not select(): select() cannot watch descriptors >= 1024.
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kConnectTimeoutMs);
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return ConnectTimedOut;
        pollfd waiting[2] = {{fd, POLLOUT, 0}, {cancelFd, POLLIN, 0}};
        int ready = poll(waiting, cancelFd >= 0 ? 2 : 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return ConnectFailed;
        if (ready == 0)
            return ConnectTimedOut;
        if (waiting[1].revents != 0)
            return ConnectCancelled;
        break;
    }

    int error = 0;
    socklen_t size = sizeof error;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0)
        return ConnectFailed;
    return error == 0 ? ConnectOk : FailureOfErrno(error);
}

// A serial port's output buffer drains at the line's rate: at the lowest
// rate a request takes a few milliseconds to leave.
constexpr uint32_t kSerialOutputWaitMs = 1000;

// Keep-alive probes from 5 s of idleness on, 1 s apart; the user time-out
// then gives the connection up once kPeerSilenceLimitMs pass unanswered.
void KeepAlive(int fd)
{
    const int on = 1, idle = 5, interval = 1, count = 5;
    const auto limit = static_cast<unsigned>(kPeerSilenceLimitMs);
    setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
    setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &limit, sizeof limit);
}

// Waits for events on fd for up to timeoutMs; the events seen, 0 when the
// time ran out.
short PollFor(int fd, short events, uint32_t timeoutMs)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd waiting{fd, events, 0};
        const int ready = poll(&waiting, 1, left > 0 ? static_cast<int>(std::min<int64_t>(left, INT_MAX)) : 0);
        if (ready > 0)
            return waiting.revents;
        if (ready == 0 || errno != EINTR)
            return ready == 0 ? 0 : POLLERR;
    }
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

const char* ConnectFailureText(ConnectFailure failure)
{
    switch (failure) {
    case ConnectOk:
        return "connected";
    case ConnectNoHost:
        return "host not found";
    case ConnectRefused:
        return "connection refused";
    case ConnectTimedOut:
        return "no answer within 3 s";
    case ConnectUnreachable:
        return "network unreachable";
    case ConnectCancelled:
        return "cancelled";
    case ConnectNoDevice:
        return "no such device";
    case ConnectPermission:
        return "permission denied";
    case ConnectBusy:
        return "busy: another program has it open";
    case ConnectNotSerial:
        return "not a serial device";
    case ConnectFailed:
        break;
    }
    return "connect failed";
}

Connection* OpenConnection(const std::string& host, int64_t port)
{
    return OpenConnection(host, port, -1, nullptr);
}

Connection* OpenConnection(const std::string& host, int64_t port, int cancelFd, ConnectFailure* failure)
{
    ConnectFailure ignored;
    ConnectFailure& why = failure ? *failure : ignored;
    why = ConnectFailed;
    const auto port16 = static_cast<uint16_t>(static_cast<uint64_t>(port) & 0xFFFF);
    if (port16 == 0)
        return nullptr;

    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port16);
    if (!ResolveHost(host, &target.sin_addr)) {
        why = ConnectNoHost;
        return nullptr;
    }

    // A name lookup cannot be broken off; an attempt given up meanwhile
    // opens no socket.
    pollfd cancel{cancelFd, POLLIN, 0};
    if (cancelFd >= 0 && poll(&cancel, 1, 0) > 0) {
        why = ConnectCancelled;
        return nullptr;
    }

    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return nullptr;

    // Send and receive rely on blocking calls, so the socket goes back to
    // blocking mode once connected.
    why = ConnectBounded(fd, target, cancelFd);
    int flags = -1;
    if (why != ConnectOk || (flags = fcntl(fd, F_GETFL)) < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) < 0) {
        if (why == ConnectOk)
            why = ConnectFailed;
        close(fd);
        return nullptr;
    }
    KeepAlive(fd);
    return new Connection{fd};
}

void CloseConnection(Connection* connection)
{
    if (connection == nullptr)
        return;
    if (connection->fd >= 0) {
        // Lifts the exclusive hold now, not whenever the driver lets the
        // terminal go.
        if (connection->kind == ConnectionSerialPort)
            ioctl(connection->fd, TIOCNXCL);
        close(connection->fd);
    }
    delete connection;
}

int SendData(Connection* connection, const uint8_t* data, int length)
{
    if (connection == nullptr || length < 0 || (data == nullptr && length > 0))
        return -1;
    if (connection->kind == ConnectionSerialPort)
        return SendAll(connection, data, length, kSerialOutputWaitMs) == length ? length : -1;
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

int SendAll(Connection* connection, const uint8_t* data, int length, uint32_t timeoutMs)
{
    if (connection == nullptr || length < 0 || (data == nullptr && length > 0))
        return -1;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    int sent = 0;
    while (sent < length) {
        const auto size = static_cast<size_t>(length - sent);
        // Neither call blocks: a serial port's descriptor never does, and
        // MSG_DONTWAIT keeps a peer that reads nothing from holding us.
        const ssize_t n = connection->kind == ConnectionSerialPort
                              ? write(connection->fd, data + sent, size)
                              : send(connection->fd, data + sent, size, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return -1;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        // Writable, or an error the next send reports; nothing: time is up.
        if (left <= 0 || PollFor(connection->fd, POLLOUT, static_cast<uint32_t>(left)) == 0)
            return sent;
    }
    return sent;
}

bool WaitReadable(Connection* connection, uint32_t timeoutMs)
{
    if (connection == nullptr)
        return false;
    return PollFor(connection->fd, POLLIN, timeoutMs) != 0;
}

int ReceiveWaiting(Connection* connection, uint8_t* buffer, int capacity)
{
    if (connection == nullptr || buffer == nullptr || capacity <= 0)
        return -1;
    ssize_t received;
    do
        received = connection->kind == ConnectionSerialPort
                       ? read(connection->fd, buffer, static_cast<size_t>(capacity))
                       : recv(connection->fd, buffer, static_cast<size_t>(capacity), MSG_DONTWAIT);
    while (received < 0 && errno == EINTR);
    // A terminal that was hung up reads as the end of the stream; one whose
    // adapter was pulled out or whose other end went away fails with EIO,
    // ENXIO or ENODEV: -1, a lost link either way.
    if (received == 0)
        return kReceiveClosed;
    if (received < 0 && errno == ETIMEDOUT)
        return kReceiveTimedOut;
    if (received < 0)
        return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
    return static_cast<int>(received);
}
