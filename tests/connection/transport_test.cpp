#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "connection/transport.h"

namespace {

using namespace std::chrono_literals;

// A listening socket on 127.0.0.1 at an ephemeral port.
class Listener {
public:
    explicit Listener(int backlog = 8)
    {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (bind(fd_, reinterpret_cast<sockaddr*>(&address), size) != 0 || listen(fd_, backlog) != 0 ||
            getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
            ADD_FAILURE() << "no listener on loopback";
        port_ = ntohs(address.sin_port);
    }
    ~Listener() { close(fd_); }

    int Port() const { return port_; }

    // The server side of the next connection, or -1 after 10 s.
    int Accept()
    {
        pollfd waiting{fd_, POLLIN, 0};
        if (poll(&waiting, 1, 10000) != 1)
            return -1;
        return accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    }

private:
    int fd_ = -1;
    int port_ = 0;
};

// A port on loopback that nothing listens on.
int ClosedPort()
{
    Listener listener;
    return listener.Port();
}

}  // namespace

TEST(Transport, NumbersAndDotsAndNamesConnect)
{
    Listener listener;
    for (const char* host : {"127.0.0.1", "127.0.01", "0x7f.1", "2130706433", "localhost"}) {
        Connection* connection = OpenConnection(host, listener.Port());
        ASSERT_NE(connection, nullptr) << host;
        int server = listener.Accept();
        EXPECT_GE(server, 0) << host;
        close(server);
        CloseConnection(connection);
    }
}

TEST(Transport, OnlyTheLow16BitsOfThePortCount)
{
    Listener listener;
    Connection* connection = OpenConnection("127.0.0.1", listener.Port() + 65536);
    ASSERT_NE(connection, nullptr);
    close(listener.Accept());
    CloseConnection(connection);
}

TEST(Transport, BadHostOrPortGivesNone)
{
    Listener listener;
    for (const char* host : {"255.255.255.255", "0xffffffff", "4294967295", ""})
        EXPECT_EQ(OpenConnection(host, listener.Port()), nullptr) << host;
    EXPECT_EQ(OpenConnection(std::string("127.0.0.1\0x", 11), listener.Port()), nullptr);
    EXPECT_EQ(OpenConnection("127.0.0.1", 0), nullptr);
    EXPECT_EQ(OpenConnection("127.0.0.1", 65536), nullptr);
}

TEST(Transport, RefusedAndUnreachableGiveNoneWithoutHanging)
{
    auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(OpenConnection("127.0.0.1", ClosedPort()), nullptr);
    // A documentation-only address: refused, unreachable or silent, but
    // never minutes of waiting.
    EXPECT_EQ(OpenConnection("192.0.2.1", 502), nullptr);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
}

TEST(Transport, ConnectAttemptIsBounded)
{
    // A listener whose accept queue is full drops further handshakes, so
    // connecting to it hangs until the attempt gives up.
    Listener full(0);
    std::vector<Connection*> queued;
    Connection* connection = nullptr;
    auto started = std::chrono::steady_clock::now();
    for (int i = 0; i < 8; i++) {
        started = std::chrono::steady_clock::now();
        connection = OpenConnection("127.0.0.1", full.Port());
        if (connection == nullptr)
            break;
        queued.push_back(connection);
    }
    auto took = std::chrono::steady_clock::now() - started;
    for (Connection* open : queued)
        CloseConnection(open);
    if (connection != nullptr) {
        CloseConnection(connection);
        GTEST_SKIP() << "the kernel kept accepting handshakes";
    }
    EXPECT_GE(took, 2s);
    EXPECT_LT(took, 10s);
}

TEST(Transport, ConnectedSocketIsBlockingAndNotInherited)
{
    Listener listener;
    Connection* connection = OpenConnection("127.0.0.1", listener.Port());
    ASSERT_NE(connection, nullptr);
    EXPECT_EQ(fcntl(connection->fd, F_GETFL) & O_NONBLOCK, 0);
    EXPECT_NE(fcntl(connection->fd, F_GETFD) & FD_CLOEXEC, 0);
    close(listener.Accept());
    CloseConnection(connection);
}

TEST(Transport, ConnectsOnADescriptorAbove1024)
{
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    if (limit.rlim_cur < 1100 && limit.rlim_max >= 1100) {
        limit.rlim_cur = 1100;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
    if (limit.rlim_cur < 1100)
        GTEST_SKIP() << "descriptor limit too low";

    // Fill the low descriptors so that the connection gets a high one.
    std::vector<int> filler{open("/dev/null", O_RDONLY | O_CLOEXEC)};
    ASSERT_GE(filler[0], 0);
    while (filler.back() >= 0 && filler.back() < 1030)
        filler.push_back(fcntl(filler[0], F_DUPFD_CLOEXEC, 0));
    Listener listener;
    Connection* connection = OpenConnection("127.0.0.1", listener.Port());
    for (int fd : filler)
        close(fd);
    ASSERT_NE(connection, nullptr);
    EXPECT_GE(connection->fd, 1024);
    close(listener.Accept());
    CloseConnection(connection);
}

TEST(Transport, SendAndReceiveWhatWaits)
{
    Listener listener;
    Connection* connection = OpenConnection("127.0.0.1", listener.Port());
    ASSERT_NE(connection, nullptr);
    int server = listener.Accept();
    ASSERT_GE(server, 0);

    const uint8_t request[] = {0x00, 0x01, 0x00, 0x00, 0x00, 0x06, 0x01, 0x02, 0x00, 0x01, 0x00, 0x64};
    EXPECT_EQ(SendData(connection, request, sizeof request), 12);
    uint8_t got[12] = {};
    ASSERT_EQ(recv(server, got, sizeof got, MSG_WAITALL), 12);
    EXPECT_EQ(std::vector<uint8_t>(got, got + 12), std::vector<uint8_t>(request, request + 12));

    // Nothing waiting reads as 0 at once; what came is read as far as the
    // buffer goes, the rest on the next call.
    uint8_t buffer[3];
    EXPECT_EQ(ReceiveWaiting(connection, buffer, sizeof buffer), 0);
    const uint8_t reply[] = {1, 2, 3, 4, 5};
    ASSERT_EQ(send(server, reply, sizeof reply, 0), 5);
    ASSERT_TRUE(WaitReadable(connection, 10000));
    EXPECT_EQ(ReceiveWaiting(connection, buffer, sizeof buffer), 3);
    EXPECT_EQ(buffer[2], 3);
    EXPECT_EQ(ReceiveWaiting(connection, buffer, sizeof buffer), 2);
    EXPECT_EQ(buffer[1], 5);
    EXPECT_EQ(ReceiveWaiting(connection, buffer, sizeof buffer), 0);
    EXPECT_EQ(ReceiveWaiting(connection, buffer, 0), -1);

    close(server);
    CloseConnection(connection);
}

TEST(Transport, EmptyTextSendsNothing)
{
    Listener listener;
    Connection* connection = OpenConnection("127.0.0.1", listener.Port());
    ASSERT_NE(connection, nullptr);
    int server = listener.Accept();
    ASSERT_GE(server, 0);

    EXPECT_EQ(SendText(connection, ""), 0);
    EXPECT_EQ(SendText(connection, "quit"), 4);
    char got[16] = {};
    ASSERT_EQ(recv(server, got, 4, MSG_WAITALL), 4);
    EXPECT_EQ(std::string(got), "quit");

    close(server);
    CloseConnection(connection);
}

TEST(Transport, ServerClosedConnection)
{
    Listener listener;
    Connection* connection = OpenConnection("127.0.0.1", listener.Port());
    ASSERT_NE(connection, nullptr);
    close(listener.Accept());
    std::this_thread::sleep_for(50ms);

    uint8_t buffer[8];
    EXPECT_EQ(ReceiveWaiting(connection, buffer, sizeof buffer), kReceiveClosed);

    // Sending on it must fail by its result, not end the process by SIGPIPE.
    int result = 0;
    for (int i = 0; i < 100 && result >= 0; i++) {
        const uint8_t byte = 0x55;
        result = SendData(connection, &byte, 1);
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_EQ(result, -1);
    CloseConnection(connection);
}

TEST(Transport, APeerThatStopsReadingOrAnsweringIsNotWaitedForForever)
{
    Listener listener;
    Connection* connection = OpenConnection("127.0.0.1", listener.Port());
    ASSERT_NE(connection, nullptr);
    int server = listener.Accept();
    ASSERT_GE(server, 0);

    // Nothing to read: the wait ends with its time-out; a byte ends it.
    EXPECT_FALSE(WaitReadable(connection, 20));
    ASSERT_EQ(send(server, "x", 1, 0), 1);
    EXPECT_TRUE(WaitReadable(connection, 5000));

    // The server reads nothing: once the buffers on the way are full, a
    // send takes what fits and returns at its time-out.
    const std::vector<uint8_t> flood(16 << 20, 0x55);
    const int sent = SendAll(connection, flood.data(), static_cast<int>(flood.size()), 200);
    EXPECT_GT(sent, 0);
    EXPECT_LT(sent, static_cast<int>(flood.size()));

    // A peer gone without a word is given up after the silence limit.
    int keepAlive = 0;
    unsigned silence = 0;
    socklen_t size = sizeof keepAlive;
    ASSERT_EQ(getsockopt(connection->fd, SOL_SOCKET, SO_KEEPALIVE, &keepAlive, &size), 0);
    size = sizeof silence;
    ASSERT_EQ(getsockopt(connection->fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &silence, &size), 0);
    EXPECT_EQ(keepAlive, 1);
    EXPECT_EQ(silence, kPeerSilenceLimitMs);

    close(server);
    CloseConnection(connection);
}

TEST(Transport, NoneIsHandledByEveryOperation)
{
    uint8_t buffer[4] = {};
    EXPECT_EQ(SendData(nullptr, buffer, 4), -1);
    EXPECT_EQ(SendAll(nullptr, buffer, 4, 10), -1);
    EXPECT_FALSE(WaitReadable(nullptr, 10));
    EXPECT_EQ(SendText(nullptr, "x"), -1);
    EXPECT_EQ(ReceiveWaiting(nullptr, buffer, 4), -1);
    CloseConnection(nullptr);
}
