// The one send-and-wait of every transaction, against the fake server.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "common/tick.h"
#include "connection/transport.h"
#include "modbus/frames.h"
#include "modbus/response_wait.h"
#include "tests/support/fake_modbus_server.h"

namespace {

class ResponseWaitTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.Listening());
        connection = OpenConnection("127.0.0.1", server.Port());
        ASSERT_NE(connection, nullptr);
        ASSERT_TRUE(server.WaitForAccepted(1));
        BuildReadRequest(request, 4, 1, 1, 1, false);  // one holding register
    }
    void TearDown() override { CloseConnection(connection); }

    ResponseWait Transact(uint32_t (*tick)() = nullptr)
    {
        return SendAndAwaitResponse(connection, request, kRequestLength, buffer, kCycleBufferSize, tick);
    }

    FakeModbusServer server;
    Connection* connection = nullptr;
    uint8_t request[kRequestLength] = {};
    uint8_t buffer[kCycleBufferSize] = {};
};

// A tick that stands still at its start and then jumps by a set step, so
// the time-out boundary can be hit exactly; it starts just before the wrap.
uint32_t gFakeNow;
uint32_t gFakeStep;
uint32_t FakeTick()
{
    uint32_t now = gFakeNow;
    gFakeNow += gFakeStep;
    return now;
}

}  // namespace

TEST_F(ResponseWaitTest, TakesWhatOneReceiveDeliversAndLeavesTheRestForNextTime)
{
    server.SetValue(4, 1, 0xBEEF);
    ResponseWait whole = Transact();
    ASSERT_EQ(whole.outcome, WaitReceived);
    ASSERT_EQ(whole.received, 11);
    EXPECT_EQ(buffer[9], 0xBE);
    EXPECT_EQ(buffer[10], 0xEF);
    EXPECT_LE(ElapsedSince(whole.sendTime), 1000u);

    // The first 7 bytes alone are the response; the other 4 are taken by
    // the next transaction, whose own answer never comes.
    server.Push(FakeReply::Split(7, 200));
    server.Push(FakeReply::Never());
    ResponseWait first = Transact();
    ASSERT_EQ(first.outcome, WaitReceived);
    EXPECT_EQ(first.received, 7);
    ResponseWait second = Transact();
    ASSERT_EQ(second.outcome, WaitReceived);
    EXPECT_EQ(second.received, 4);
    EXPECT_EQ(buffer[3], 0xEF);

    // 600 bytes: one receive takes at most the capacity.
    server.Push(FakeReply::Raw(std::vector<uint8_t>(600, 0x55)));
    server.Push(FakeReply::Never());
    ResponseWait big = Transact();
    ASSERT_EQ(big.outcome, WaitReceived);
    EXPECT_EQ(big.received, kCycleBufferSize);
    ResponseWait rest = Transact();
    ASSERT_EQ(rest.outcome, WaitReceived);
    EXPECT_EQ(rest.received, 600 - kCycleBufferSize);
}

TEST_F(ResponseWaitTest, ALateAnswerTimesOutAndIsTakenByTheNextTransaction)
{
    server.Push(FakeReply::Delayed(1300));
    server.Push(FakeReply::Never());
    auto start = std::chrono::steady_clock::now();
    ResponseWait late = Transact();
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(late.outcome, WaitTimedOut);
    EXPECT_GE(took, std::chrono::milliseconds(1000));
    EXPECT_LT(took, std::chrono::milliseconds(5000));  // hang guard only

    ResponseWait next = Transact();
    ASSERT_EQ(next.outcome, WaitReceived);
    EXPECT_EQ(next.received, 11);
}

TEST_F(ResponseWaitTest, AResponseSeenAtExactlyTheTimeoutIsTakenOneLaterIsNot)
{
    // Let the answer to a first request wait in the connection, so the
    // readiness test succeeds on the first turn that gets that far.
    ASSERT_EQ(SendData(connection, request, kRequestLength), kRequestLength);
    for (int i = 0; i < 2000 && CheckForData(connection) != DataReady; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    server.SetDefault(FakeReply::Never());

    gFakeNow = 0xFFFFFFFFu - 500;  // the 32-bit tick wraps in between
    gFakeStep = kResponseTimeoutMs + 1;
    EXPECT_EQ(Transact(FakeTick).outcome, WaitTimedOut);

    gFakeNow = 0xFFFFFFFFu - 500;
    gFakeStep = kResponseTimeoutMs;
    ResponseWait exact = Transact(FakeTick);
    EXPECT_EQ(exact.outcome, WaitReceived);
    EXPECT_EQ(exact.sendTime, 0xFFFFFFFFu - 500);
    EXPECT_EQ(exact.received, 11);
}

TEST_F(ResponseWaitTest, SendFailuresAndAClosedServer)
{
    EXPECT_EQ(SendAndAwaitResponse(nullptr, request, kRequestLength, buffer, kCycleBufferSize).outcome, WaitSendFailed);

    // A server that has closed its end never reports data: time-out.
    server.DropClients();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(Transact().outcome, WaitTimedOut);

    // Once the peer has answered with a reset, sends fail at once.
    CloseConnection(connection);
    connection = OpenConnection("127.0.0.1", server.Port());
    ASSERT_NE(connection, nullptr);
    server.Push(FakeReply::Hangup(true));
    EXPECT_EQ(Transact().outcome, WaitTimedOut);
    EXPECT_EQ(Transact().outcome, WaitSendFailed);
}
