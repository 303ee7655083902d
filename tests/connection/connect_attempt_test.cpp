// Opening a connection off the caller's thread, and giving it up.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "connection/connect_attempt.h"
#include "tests/support/fake_modbus_server.h"

namespace {

std::atomic<int> gDone{0};
void CountDone()
{
    gDone++;
}

bool WaitFor(ConnectAttempt* attempt)
{
    for (int i = 0; i < 5000 && !ConnectAttemptDone(attempt); i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return ConnectAttemptDone(attempt);
}

}  // namespace

TEST(ConnectAttempt, ConnectsOrSaysWhyNot)
{
    FakeModbusServer server;
    gDone = 0;
    ConnectAttempt* attempt = StartConnectAttempt("127.0.0.1", server.Port(), CountDone);
    ASSERT_TRUE(WaitFor(attempt));
    ConnectFailure failure = ConnectFailed;
    Connection* connection = FinishConnectAttempt(attempt, &failure);
    ASSERT_NE(connection, nullptr);
    EXPECT_EQ(failure, ConnectOk);
    EXPECT_TRUE(server.WaitForAccepted(1));
    CloseConnection(connection);

    server.SetListening(false);
    attempt = StartConnectAttempt("127.0.0.1", server.Port(), CountDone);
    ASSERT_TRUE(WaitFor(attempt));
    EXPECT_EQ(FinishConnectAttempt(attempt, &failure), nullptr);
    EXPECT_EQ(failure, ConnectRefused);
    EXPECT_STREQ(ConnectFailureText(failure), "connection refused");
    EXPECT_EQ(gDone.load(), 2);
}

TEST(ConnectAttempt, AnAbandonedAttemptIsNeverReported)
{
    // A listener that never accepts: once its queue is full, a connect to
    // it hangs until given up.
    int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), size), 0);
    ASSERT_EQ(listen(listener, 0), 0);
    ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size), 0);
    Connection* queued = OpenConnection("127.0.0.1", ntohs(address.sin_port));  // fills the queue

    // The connect under way is broken off, not left to its time limit.
    const int cancel = eventfd(0, EFD_CLOEXEC);
    std::thread canceller([cancel] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const uint64_t one = 1;
        EXPECT_EQ(write(cancel, &one, sizeof one), 8);
    });
    ConnectFailure failure = ConnectOk;
    EXPECT_EQ(OpenConnection("127.0.0.1", ntohs(address.sin_port), cancel, &failure), nullptr);
    EXPECT_EQ(failure, ConnectCancelled);
    canceller.join();
    close(cancel);

    gDone = 0;
    ConnectAttempt* attempt = StartConnectAttempt("127.0.0.1", ntohs(address.sin_port), CountDone);
    ASSERT_NE(attempt, nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    AbandonConnectAttempt(attempt);
    // Broken off at once, the thread ends without a word.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(gDone.load(), 0);
    CloseConnection(queued);
    close(listener);
}
