// The one send-and-collect of every transaction, against the fake server.
#include <gtest/gtest.h>

#include <poll.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "common/pending_write.h"
#include "common/tick.h"
#include "connection/device_settings.h"
#include "connection/transport.h"
#include "modbus/frames.h"
#include "modbus/transaction.h"
#include "tests/support/fake_modbus_server.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::vector<Bytes> gIgnored;
void RecordIgnored(const uint8_t* bytes, int count)
{
    gIgnored.emplace_back(bytes, bytes + count);
}

class TransactionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.Listening());
        connection = OpenConnection("127.0.0.1", server.Port());
        ASSERT_NE(connection, nullptr);
        ASSERT_TRUE(server.WaitForAccepted(1));
        BuildReadRequest(request, 4, 1, 1, 1, false);  // one holding register
        gIgnored.clear();
    }
    void TearDown() override { CloseConnection(connection); }

    // Each request goes out with an id of its own, as the engine sends them.
    Transaction Run(uint8_t* frame, uint32_t (*tick)() = nullptr, int length = kRequestLength)
    {
        StampTransactionId(frame, ++lastId);
        return Transact({connection, kModbusTcpFraming, {}}, frame, length, buffer, kCycleBufferSize, RecordIgnored,
                        kResponseTimeoutMs, tick);
    }
    Transaction Run(uint32_t (*tick)() = nullptr) { return Run(request, tick); }

    FakeModbusServer server;
    Connection* connection = nullptr;
    uint8_t request[kRequestLength] = {};
    uint8_t buffer[kCycleBufferSize] = {};
    uint16_t lastId = 0;
};

// A tick that starts just before the wrap: the first call is the send; the
// second first waits until the reply can be read and is then `step` ms
// later, as are all after it, so the reply is complete exactly `step` ms
// after the send.
uint32_t gFakeNow;
uint32_t gFakeStep;
int gFakeCalls;
int gWaitFd;
uint32_t FakeTick()
{
    if (++gFakeCalls == 2) {
        pollfd readable{gWaitFd, POLLIN, 0};
        poll(&readable, 1, 2000);
    }
    return gFakeCalls == 1 ? gFakeNow : gFakeNow + gFakeStep;
}

// A clock that moves 1 ms each time it is read: a wait that reads it on
// every pass ends after about kResponseTimeoutMs passes, whatever comes in.
uint32_t gPassCount;
uint32_t PassTick()
{
    return gPassCount++;
}

}  // namespace

TEST_F(TransactionTest, AReplyInPiecesIsOneReply)
{
    server.SetValue(4, 1, 0xBEEF);
    for (const FakeReply& reply : {FakeReply::Normal(), FakeReply::Split(7, 50), FakeReply::Split(3, 50)}) {
        server.Push(reply);
        const Transaction wait = Run();
        ASSERT_EQ(wait.outcome.kind, OutcomeValid);
        ASSERT_EQ(wait.received, 11);
        EXPECT_EQ(buffer[9], 0xBE);
        EXPECT_EQ(buffer[10], 0xEF);
        EXPECT_TRUE(wait.sent);
    }
    EXPECT_TRUE(gIgnored.empty());

    // Bytes that never complete a reply end with what there was.
    server.Push(FakeReply::Sized(9 + 1));
    const Transaction cut = Run();
    EXPECT_EQ(cut.outcome.kind, OutcomeIncomplete);
    EXPECT_EQ(cut.received, 10);
}

TEST_F(TransactionTest, AWriteOfFourRegistersIsSentWholeAndItsEchoTaken)
{
    const uint16_t values[4] = {0x4009, 0x21FB, 0x5444, 0x2D18};
    uint8_t write[kLongestWriteRequest] = {};
    const int length = BuildWriteRegistersRequest(write, 1, 7, values, 4, false);
    ASSERT_EQ(length, 21);
    StampTransactionId(write, 100);
    const Transaction wait = Transact({connection, kModbusTcpFraming, {}}, write, length, buffer, kCycleBufferSize,
                                      RecordIgnored, kResponseTimeoutMs);
    ASSERT_EQ(wait.outcome.kind, OutcomeValid);
    EXPECT_EQ(Bytes(buffer, buffer + wait.received), (Bytes{0, 100, 0, 0, 0, 6, 1, 16, 0, 7, 0, 4}));
    for (int i = 0; i < 4; i++)
        EXPECT_EQ(server.Value(4, 7 + i), values[i]);
}

TEST_F(TransactionTest, LateAndStrayRepliesAreIgnoredNeverTaken)
{
    server.SetValue(4, 1, 7);
    // Late: times out, then waits in the connection and is read out before
    // the next request goes.
    server.Push(FakeReply::Delayed(1300));
    EXPECT_EQ(Run().outcome.kind, OutcomeTimeout);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    Transaction next = Run();
    ASSERT_EQ(next.outcome.kind, OutcomeValid);
    ASSERT_EQ(gIgnored.size(), 1u);
    EXPECT_EQ(gIgnored[0].size(), 11u);

    // Another table's reply and garbage ahead of ours, in one segment.
    gIgnored.clear();
    const Bytes stray = {0x7F, 3, 0, 0, 0, 5, 1, 4, 2, 0, 9, 0xEE, 0xEE, 0xEE};
    server.Push(FakeReply::StrayFirst(stray));
    next = Run();
    ASSERT_EQ(next.outcome.kind, OutcomeValid);
    EXPECT_EQ(buffer[10], 7);
    ASSERT_EQ(gIgnored.size(), 2u);
    EXPECT_EQ(gIgnored[0], Bytes(stray.begin(), stray.begin() + 11));
    EXPECT_EQ(gIgnored[1], Bytes(3, 0xEE));

    // A write that timed out: its echo, late, is not the next write's
    // answer, even when the next writes the same value to the same register.
    uint8_t first[kRequestLength], second[kRequestLength];
    BuildWriteRequest(first, 1, kFunctionWriteRegister, 5, 1, false);
    BuildWriteRequest(second, 1, kFunctionWriteRegister, 5, 1, false);
    server.Push(FakeReply::Delayed(1100));
    server.Push(FakeReply::Delayed(200));
    EXPECT_EQ(Run(first).outcome.kind, OutcomeTimeout);
    gIgnored.clear();
    next = Run(second);
    ASSERT_EQ(next.outcome.kind, OutcomeValid);
    ASSERT_EQ(gIgnored.size(), 1u);
    EXPECT_EQ(gIgnored[0][1], first[1]);
    EXPECT_EQ(buffer[1], second[1]);
}

TEST_F(TransactionTest, AFloodOfOtherFramesCannotStretchTheTimeOutAndTheResponseTimeIsTheDevicesOwn)
{
    // Far more frames than passes fit in the time-out, and no answer.
    server.Push(FakeReply::Flood(20000, false));
    gPassCount = 0;
    const Transaction flooded = Run(PassTick);
    EXPECT_EQ(flooded.outcome.kind, OutcomeTimeout);
    EXPECT_GT(gIgnored.size(), 100u);
    EXPECT_LT(gIgnored.size(), 2000u);

    // On a connection of its own: the answer's time runs from the request's
    // last byte to the reply's.
    CloseConnection(connection);
    connection = OpenConnection("127.0.0.1", server.Port());
    ASSERT_NE(connection, nullptr);
    server.Push(FakeReply::Delayed(60));
    const Transaction answered = Run();
    ASSERT_EQ(answered.outcome.kind, OutcomeValid);
    EXPECT_GE(ResponseMs(answered), 60u);
    EXPECT_LT(ResponseMs(answered), kResponseTimeoutMs);
}

TEST_F(TransactionTest, AReplyCompleteAtExactlyTheTimeoutIsTakenOneLaterIsNot)
{
    gWaitFd = connection->fd;
    for (uint32_t step : {kResponseTimeoutMs + 1, kResponseTimeoutMs}) {
        gFakeNow = 0xFFFFFFFFu - 500;  // the 32-bit tick wraps in between
        gFakeStep = step;
        gFakeCalls = 0;
        server.Push(FakeReply::Delayed(20));
        const Transaction wait = Run(FakeTick);
        EXPECT_EQ(wait.outcome.kind, step > kResponseTimeoutMs ? OutcomeTimeout : OutcomeValid) << step;
        EXPECT_EQ(wait.sendTime, 0xFFFFFFFFu - 500);
    }
}

TEST_F(TransactionTest, ALostLinkIsToldFromASilentServer)
{
    EXPECT_EQ(Transact({nullptr, kModbusTcpFraming, {}}, request, kRequestLength, buffer, kCycleBufferSize, nullptr,
                       kResponseTimeoutMs)
                  .outcome.kind,
              OutcomeLinkLost);

    // Closed while waiting for the reply: the request went out.
    server.Push(FakeReply::Hangup(false));
    Transaction wait = Run();
    EXPECT_EQ(wait.outcome.kind, OutcomeLinkLost);
    EXPECT_EQ(wait.outcome.loss, LossClosed);
    EXPECT_TRUE(wait.sent);

    // Closed before the next request: seen before anything is sent.
    const size_t requests = server.RequestCount();
    wait = Run();
    EXPECT_EQ(wait.outcome.kind, OutcomeLinkLost);
    EXPECT_FALSE(wait.sent);
    EXPECT_EQ(server.RequestCount(), requests);

    // Reset by the server.
    CloseConnection(connection);
    connection = OpenConnection("127.0.0.1", server.Port());
    ASSERT_NE(connection, nullptr);
    server.Push(FakeReply::Hangup(true));
    wait = Run();
    EXPECT_EQ(wait.outcome.kind, OutcomeLinkLost);
    EXPECT_EQ(wait.outcome.loss, LossReset);
}

TEST_F(TransactionTest, OnRtuAReadFromUnit0IsRefusedAndNotSent)
{
    uint8_t read[kRequestLength], wire[kMaxFrameLength];
    BuildReadRequest(read, 4, 0, 1, 1, false);
    const int length = FrameRequest(kRtuFraming, read, kRequestLength, 1, wire);
    const Transaction t = Transact({connection, kRtuFraming, {}}, wire, length, buffer, kCycleBufferSize, RecordIgnored,
                                   kResponseTimeoutMs);
    EXPECT_EQ(t.outcome.kind, OutcomeRefused);
    EXPECT_FALSE(t.sent);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(server.RequestCount(), 0u);
}
