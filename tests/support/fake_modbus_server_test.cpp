// The fake server is the yardstick of the engine tests, so it is checked
// here against a plain client socket first.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/fake_modbus_server.h"

namespace {

using Bytes = std::vector<uint8_t>;

class Client {
public:
    explicit Client(uint16_t port)
    {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(port);
        if (connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            close(fd_);
            fd_ = -1;
        }
    }
    ~Client()
    {
        if (fd_ >= 0)
            close(fd_);
    }
    bool Ok() const { return fd_ >= 0; }
    ssize_t Send(const Bytes& b) { return send(fd_, b.data(), b.size(), MSG_NOSIGNAL); }
    ssize_t SendText(const std::string& s) { return send(fd_, s.data(), s.size(), MSG_NOSIGNAL); }

    // Everything that arrives within ms (less if the peer closes).
    Bytes ReadFor(int ms)
    {
        Bytes out;
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        for (;;) {
            int left = static_cast<int>(
                std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count());
            if (left <= 0)
                return out;
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, left) <= 0)
                return out;
            uint8_t buf[1024];
            ssize_t n = recv(fd_, buf, sizeof buf, 0);
            if (n <= 0) {
                closedSeen_ = true;
                return out;
            }
            out.insert(out.end(), buf, buf + n);
        }
    }
    // One recv once something is there: what had arrived at that moment.
    Bytes ReadOnce(int waitMs = 2000)
    {
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, waitMs) <= 0)
            return {};
        uint8_t buf[1024];
        ssize_t n = recv(fd_, buf, sizeof buf, 0);
        if (n <= 0) {
            closedSeen_ = true;
            return {};
        }
        return Bytes(buf, buf + n);
    }
    bool ClosedSeen() const { return closedSeen_; }

private:
    int fd_ = -1;
    bool closedSeen_ = false;
};

Bytes Request(uint16_t tid, uint8_t function, uint16_t address, uint16_t field, uint8_t unit = 1)
{
    return {uint8_t(tid >> 8),   uint8_t(tid),  0, 0, 0, 6, unit, function, uint8_t(address >> 8), uint8_t(address),
            uint8_t(field >> 8), uint8_t(field)};
}

}  // namespace

TEST(FakeModbusServer, AnswersReadsOfAllFourTablesFromItsValues)
{
    FakeModbusServer server;
    ASSERT_TRUE(server.Listening());
    server.SetValue(4, 1, 0x1234);
    server.SetValue(4, 2, 0xFFFE);
    server.SetValue(3, 1, 7);
    for (int a = 1; a <= 10; ++a)
        server.SetValue(2, a, 0);
    server.SetValue(2, 1, 1);
    server.SetValue(2, 3, 1);
    server.SetValue(2, 10, 1);

    Client c(server.Port());
    ASSERT_TRUE(c.Ok());
    c.Send(Request(4, 3, 1, 2, 9));
    EXPECT_EQ(c.ReadOnce(), (Bytes{0, 4, 0, 0, 0, 7, 9, 3, 4, 0x12, 0x34, 0xFF, 0xFE}));
    c.Send(Request(3, 4, 1, 1));
    EXPECT_EQ(c.ReadOnce(), (Bytes{0, 3, 0, 0, 0, 5, 1, 4, 2, 0, 7}));
    // Ten coils: bit 0 of the first byte is the first address.
    c.Send(Request(2, 1, 1, 10));
    EXPECT_EQ(c.ReadOnce(), (Bytes{0, 2, 0, 0, 0, 5, 1, 1, 2, 0x05, 0x02}));

    ASSERT_TRUE(server.WaitForRequests(3));
    EXPECT_EQ(server.Requests()[0], Request(4, 3, 1, 2, 9));
    EXPECT_EQ(server.Received().size(), 36u);
}

TEST(FakeModbusServer, WritesAreEchoedAndStoredAndRefusedQuantitiesGetExceptions)
{
    FakeModbusServer server;
    Client c(server.Port());
    ASSERT_TRUE(c.Ok());

    c.Send(Request(100, 5, 7, 0xFF00));
    EXPECT_EQ(c.ReadOnce(), Request(100, 5, 7, 0xFF00));
    c.Send(Request(100, 6, 10, 1234));
    EXPECT_EQ(c.ReadOnce(), Request(100, 6, 10, 1234));
    ASSERT_TRUE(server.WaitForRequests(2));
    EXPECT_EQ(server.Value(2, 7), 1);
    EXPECT_EQ(server.Value(4, 10), 1234);

    c.Send(Request(4, 3, 0, 126));
    EXPECT_EQ(c.ReadOnce(), (Bytes{0, 4, 0, 0, 0, 3, 1, 0x83, 3}));
    c.Send(Request(4, 3, 65535, 2));
    EXPECT_EQ(c.ReadOnce(), (Bytes{0, 4, 0, 0, 0, 3, 1, 0x83, 2}));
    server.SetStrict(false);
    c.Send(Request(1, 2, 0, 2001));
    EXPECT_EQ(c.ReadOnce().size(), 9u + 251u);
}

TEST(FakeModbusServer, MultipleWritesLandInTheTablesAndEchoAddressAndQuantity)
{
    FakeModbusServer server;
    Client c(server.Port());
    ASSERT_TRUE(c.Ok());

    c.Send({0, 100, 0, 0, 0, 11, 1, 16, 0, 20, 0, 2, 4, 0x12, 0x34, 0xAB, 0xCD});
    EXPECT_EQ(c.ReadOnce(), Request(100, 16, 20, 2));
    // Nine coils: 1 0 1 0 0 0 0 0 and 1.
    c.Send({0, 100, 0, 0, 0, 9, 1, 15, 0, 30, 0, 9, 2, 0x05, 0x01});
    EXPECT_EQ(c.ReadOnce(), Request(100, 15, 30, 9));
    ASSERT_TRUE(server.WaitForRequests(2));
    EXPECT_EQ(server.Value(4, 20), 0x1234);
    EXPECT_EQ(server.Value(4, 21), 0xABCD);
    // Each differs from the start value (set where address % 3 == 0).
    EXPECT_EQ(server.Value(2, 32), 1);
    EXPECT_EQ(server.Value(2, 33), 0);
    EXPECT_EQ(server.Value(2, 38), 1);

    // A byte count that is not what the quantity needs.
    c.Send({0, 100, 0, 0, 0, 9, 1, 16, 0, 20, 0, 2, 2, 0x00, 0x01});
    EXPECT_EQ(c.ReadOnce(), (Bytes{0, 100, 0, 0, 0, 3, 1, 0x90, 3}));
    EXPECT_EQ(server.Value(4, 20), 0x1234);
}

TEST(FakeModbusServer, ScriptedRepliesThenTheDefault)
{
    FakeModbusServer server;
    server.Push(FakeReply::Error(2));
    server.Push(FakeReply::Error(2, false));
    server.Push(FakeReply::Sized(7));
    server.Push(FakeReply::Raw(Bytes(600, 0xAB)));
    Client c(server.Port());
    ASSERT_TRUE(c.Ok());

    c.Send(Request(4, 3, 1, 1));
    EXPECT_EQ(c.ReadOnce(), (Bytes{0, 4, 0, 0, 0, 3, 1, 0x83, 2}));
    c.Send(Request(4, 3, 1, 1));
    EXPECT_EQ(c.ReadOnce(), (Bytes{0, 4, 0, 0, 0, 3, 1, 0x03, 2}));
    c.Send(Request(4, 3, 1, 1));
    EXPECT_EQ(c.ReadOnce(), (Bytes{0, 4, 0, 0, 0, 5, 1}));
    c.Send(Request(4, 3, 1, 1));
    EXPECT_EQ(c.ReadFor(300), Bytes(600, 0xAB));
    c.Send(Request(4, 3, 1, 1));
    EXPECT_EQ(c.ReadOnce().size(), 11u);
}

TEST(FakeModbusServer, DelayedAndSplitRepliesKeepTheirOrder)
{
    FakeModbusServer server;
    server.Push(FakeReply::Split(7, 300));
    server.Push(FakeReply::Delayed(400));
    server.Push(FakeReply::Normal());
    Client c(server.Port());
    ASSERT_TRUE(c.Ok());

    c.Send(Request(4, 3, 1, 1));
    EXPECT_EQ(c.ReadOnce().size(), 7u);  // the rest is 300 ms away
    EXPECT_EQ(c.ReadOnce().size(), 4u);

    // The second request's answer waits behind the delayed first one.
    c.Send(Request(1, 2, 0, 1));
    c.Send(Request(2, 1, 0, 1));
    EXPECT_TRUE(c.ReadFor(200).empty());
    Bytes both = c.ReadFor(600);
    ASSERT_EQ(both.size(), 20u);
    EXPECT_EQ(both[1], 1);
    EXPECT_EQ(both[11], 2);
}

TEST(FakeModbusServer, SilenceHangupAndReset)
{
    FakeModbusServer server;
    server.SetDefault(FakeReply::Never());
    {
        Client c(server.Port());
        ASSERT_TRUE(c.Ok());
        c.Send(Request(4, 3, 1, 1));
        EXPECT_TRUE(c.ReadFor(300).empty());
        EXPECT_FALSE(c.ClosedSeen());
    }
    server.SetDefault(FakeReply::Hangup());
    {
        Client c(server.Port());
        c.Send(Request(4, 3, 1, 1));
        EXPECT_TRUE(c.ReadFor(1000).empty());
        EXPECT_TRUE(c.ClosedSeen());
    }
    server.SetDefault(FakeReply::Hangup(true));
    {
        Client c(server.Port());
        c.Send(Request(4, 3, 1, 1));
        c.ReadFor(300);
        EXPECT_EQ(c.Send(Request(4, 3, 1, 1)), -1);
    }
    server.SetDefault(FakeReply::Normal());
    {
        Client c(server.Port());
        ASSERT_TRUE(server.WaitForAccepted(4));
        server.DropClients();
        EXPECT_TRUE(c.ReadFor(1000).empty());
        EXPECT_TRUE(c.ClosedSeen());
    }
}

TEST(FakeModbusServer, RecordsEachConnectionsBytes)
{
    FakeModbusServer server;
    {
        Client c(server.Port());
        c.SendText("quit");
    }
    ASSERT_TRUE(server.WaitForClosed(1));
    {
        Client c(server.Port());
        c.Send(Request(4, 3, 1, 1));
        c.ReadOnce();
    }
    ASSERT_TRUE(server.WaitForClosed(2));
    EXPECT_EQ(server.Accepted(), 2);
    EXPECT_EQ(server.ConnectionBytes(0), (Bytes{'q', 'u', 'i', 't'}));
    EXPECT_EQ(server.ConnectionBytes(1), Request(4, 3, 1, 1));
    EXPECT_EQ(server.RequestCount(), 1u);
}
