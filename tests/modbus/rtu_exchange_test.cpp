// The RTU exchange end to end, the function the engine calls, with no
// window: against the simulator on a pseudo-terminal pair and through a
// TCP-to-serial bridge, and against libmodbus's own RTU server, with a
// pass-through that can corrupt a reply's CRC or put stray bytes on the
// line.
#include <gtest/gtest.h>

#include <poll.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <modbus.h>

#include "common/records.h"
#include "connection/serial_port.h"
#include "modbus/frames.h"
#include "modbus/rtu_frames.h"
#include "modbus/rtu_wait.h"
#include "tests/support/sim_process.h"
#include "tests/support/socat.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::mutex gIgnoredMutex;
Bytes gIgnored;

void CollectIgnored(const uint8_t* bytes, int count)
{
    std::lock_guard<std::mutex> lock(gIgnoredMutex);
    gIgnored.insert(gIgnored.end(), bytes, bytes + count);
}

// A pseudo-terminal takes no parity setting.
SerialSettings Line(const std::string& port)
{
    return {port, 19200, ParityNone, 1};
}

struct Result {
    ResponseWait wait;
    Bytes reply;
};

// One transaction of the Modbus/TCP request tcp, sent as RTU.
Result Exchange(Connection* connection, const RtuTiming& timing, const uint8_t* tcp)
{
    uint8_t request[kRtuRequestLength];
    const int length = BuildRtuRequest(request, tcp, kRequestLength);
    uint8_t buffer[kCycleBufferSize];
    Result r;
    r.wait = SendAndAwaitRtuResponse(connection, timing, request, length, buffer, sizeof buffer, CollectIgnored);
    r.reply.assign(buffer, buffer + r.wait.received);
    return r;
}

bool Valid(const Result& r)
{
    return r.wait.outcome == WaitAnswered && r.wait.judgement.verdict == ReplyValid;
}

// The values of a valid read: bits or registers.
std::vector<int> Read(Connection* connection, const RtuTiming& timing, int table, int address, int quantity,
                      int unit = 1)
{
    uint8_t tcp[kRequestLength];
    BuildReadRequest(tcp, table, unit, address, quantity, false);
    const Result r = Exchange(connection, timing, tcp);
    std::vector<int> values;
    if (!Valid(r)) {
        ADD_FAILURE() << "read of table " << table << ": outcome " << r.wait.outcome << ", fault "
                      << ReplyFaultText(r.wait.judgement.fault);
        return values;
    }
    const uint8_t* data = r.reply.data() + kRtuDataOffset;
    for (int i = 0; i < quantity; i++)
        values.push_back(table <= TableCoils ? (data[i / 8] >> (i % 8)) & 1 : data[2 * i] << 8 | data[2 * i + 1]);
    return values;
}

Result Write(Connection* connection, const RtuTiming& timing, int function, int address, int value, int unit = 1)
{
    uint8_t tcp[kRequestLength];
    BuildWriteRequest(tcp, unit, function, address, value, false);
    return Exchange(connection, timing, tcp);
}

// The four tables and a write of each kind read back, against the
// simulator's start pattern.
void CheckSimulatorTables(Connection* c, const RtuTiming& timing)
{
    EXPECT_EQ(Read(c, timing, TableDiscreteInputs, 0, 7), (std::vector<int>{1, 0, 0, 1, 0, 0, 1}));
    EXPECT_EQ(Read(c, timing, TableCoils, 0, 4), (std::vector<int>{1, 0, 1, 0}));
    EXPECT_EQ(Read(c, timing, TableInputRegisters, 100, 3), (std::vector<int>{100, 101, 102}));
    EXPECT_EQ(Read(c, timing, TableHoldingRegisters, 10, 2), (std::vector<int>{0, 0}));
    EXPECT_TRUE(Valid(Write(c, timing, kFunctionWriteRegister, 10, 4711)));
    EXPECT_TRUE(Valid(Write(c, timing, kFunctionWriteCoil, 1, kCoilOn)));
    EXPECT_EQ(Read(c, timing, TableHoldingRegisters, 10, 2), (std::vector<int>{4711, 0}));
    EXPECT_EQ(Read(c, timing, TableCoils, 0, 4), (std::vector<int>{1, 1, 1, 0}));
}

}  // namespace

TEST(RtuExchange, SimulatorOnAPseudoTerminalPair)
{
    SKIP_WITHOUT_SOCAT();
    PtyPair pair;
    ASSERT_TRUE(pair.Ready());
    SimProcess sim({"--rtu", pair.A(), "--parity", "N"});
    ASSERT_TRUE(sim.Listening());
    Connection* c = OpenSerialPort(Line(pair.B()), nullptr);
    ASSERT_NE(c, nullptr);
    const RtuTiming timing = SerialLineTiming(Line(pair.B()));
    CheckSimulatorTables(c, timing);

    // A broadcast write is carried out and not answered: it ends as sent.
    const Result broadcast = Write(c, timing, kFunctionWriteRegister, 11, 99, 0);
    EXPECT_TRUE(Valid(broadcast));
    EXPECT_EQ(broadcast.wait.received, 0);
    EXPECT_EQ(Read(c, timing, TableHoldingRegisters, 11, 1), (std::vector<int>{99}));
    CloseConnection(c);
}

TEST(RtuExchange, RtuOverTcpThroughABridge)
{
    SKIP_WITHOUT_SOCAT();
    TcpPtyBridge bridge;
    Connection* c = nullptr;
    for (int i = 0; i < 500 && !c; i++) {
        c = OpenConnection("127.0.0.1", bridge.Port());
        if (!c)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_NE(c, nullptr);
    ASSERT_TRUE(bridge.WaitForPty());
    SimProcess sim({"--rtu", bridge.Pty(), "--parity", "N"});
    ASSERT_TRUE(sim.Listening());
    CheckSimulatorTables(c, RtuTiming{});
    CloseConnection(c);
}

namespace {

// libmodbus's RTU server, unit 1, on a device of its own, with values of
// its own: discrete inputs 1 at odd addresses, coils 0, input registers
// 1000 + address, holding registers 2000 + address.
class LibmodbusServer {
public:
    explicit LibmodbusServer(const std::string& device)
    {
        ctx_ = modbus_new_rtu(device.c_str(), 19200, 'N', 8, 1);
        mapping_ = modbus_mapping_new(100, 100, 100, 100);
        if (!ctx_ || !mapping_ || modbus_set_slave(ctx_, 1) != 0 || modbus_connect(ctx_) != 0)
            return;
        for (int i = 0; i < 100; i++) {
            mapping_->tab_input_bits[i] = static_cast<uint8_t>(i % 2);
            mapping_->tab_input_registers[i] = static_cast<uint16_t>(1000 + i);
            mapping_->tab_registers[i] = static_cast<uint16_t>(2000 + i);
        }
        thread_ = std::thread([this] { Serve(); });
    }
    ~LibmodbusServer()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        if (mapping_)
            modbus_mapping_free(mapping_);
        if (ctx_) {
            modbus_close(ctx_);
            modbus_free(ctx_);
        }
    }
    bool Running() const { return thread_.joinable(); }

private:
    void Serve()
    {
        uint8_t request[MODBUS_RTU_MAX_ADU_LENGTH];
        while (!stop_) {
            pollfd line{modbus_get_socket(ctx_), POLLIN, 0};
            if (poll(&line, 1, 20) <= 0)
                continue;
            const int length = modbus_receive(ctx_, request);
            if (length > 0)
                modbus_reply(ctx_, request, length, mapping_);
        }
    }

    modbus_t* ctx_ = nullptr;
    modbus_mapping_t* mapping_ = nullptr;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Passes bytes between the client's line and the server's, a reply at a
// time, with its last CRC byte flipped when asked; can put stray bytes on
// the client's line.
class PassThrough {
public:
    PassThrough(const std::string& clientSide, const std::string& serverSide)
        : client_(OpenSerialPort(Line(clientSide), nullptr)), server_(OpenSerialPort(Line(serverSide), nullptr))
    {
        if (client_ && server_)
            thread_ = std::thread([this] { Run(); });
    }
    ~PassThrough()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        CloseConnection(client_);
        CloseConnection(server_);
    }
    bool Running() const { return thread_.joinable(); }
    void CorruptNextReply() { corrupt_ = true; }
    void Inject(const Bytes& bytes) { SendData(client_, bytes.data(), static_cast<int>(bytes.size())); }

private:
    void Run()
    {
        Bytes reply;
        uint8_t buffer[300];
        while (!stop_) {
            const int up = ReceiveWaiting(client_, buffer, sizeof buffer);
            if (up > 0)
                SendData(server_, buffer, up);
            const int down = ReceiveWaiting(server_, buffer, sizeof buffer);
            if (down > 0)
                reply.insert(reply.end(), buffer, buffer + down);
            const int whole = RtuReplyLength(reply.data(), static_cast<int>(reply.size()));
            if (whole > 0 && static_cast<int>(reply.size()) >= whole) {
                if (corrupt_.exchange(false))
                    reply[static_cast<size_t>(whole - 1)] ^= 0x01;
                SendData(client_, reply.data(), whole);
                reply.erase(reply.begin(), reply.begin() + whole);
            }
            if (up <= 0 && down <= 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    Connection* client_;
    Connection* server_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> corrupt_{false};
    std::thread thread_;
};

}  // namespace

TEST(RtuExchange, AgainstLibmodbusRtuServer)
{
    SKIP_WITHOUT_SOCAT();
    PtyPair clientLine, serverLine;
    ASSERT_TRUE(clientLine.Ready() && serverLine.Ready());
    LibmodbusServer server(serverLine.B());
    ASSERT_TRUE(server.Running());
    PassThrough through(clientLine.B(), serverLine.A());
    ASSERT_TRUE(through.Running());
    Connection* c = OpenSerialPort(Line(clientLine.A()), nullptr);
    ASSERT_NE(c, nullptr);
    const RtuTiming timing = SerialLineTiming(Line(clientLine.A()));

    EXPECT_EQ(Read(c, timing, TableDiscreteInputs, 3, 4), (std::vector<int>{1, 0, 1, 0}));
    EXPECT_EQ(Read(c, timing, TableCoils, 0, 10), (std::vector<int>(10, 0)));
    EXPECT_EQ(Read(c, timing, TableInputRegisters, 5, 3), (std::vector<int>{1005, 1006, 1007}));
    EXPECT_EQ(Read(c, timing, TableHoldingRegisters, 98, 2), (std::vector<int>{2098, 2099}));
    EXPECT_TRUE(Valid(Write(c, timing, kFunctionWriteRegister, 7, 0xBEEF)));
    EXPECT_TRUE(Valid(Write(c, timing, kFunctionWriteCoil, 9, kCoilOn)));
    EXPECT_EQ(Read(c, timing, TableHoldingRegisters, 7, 1), (std::vector<int>{0xBEEF}));
    EXPECT_EQ(Read(c, timing, TableCoils, 8, 2), (std::vector<int>{0, 1}));

    // An address past the tables: the server's exception.
    uint8_t tcp[kRequestLength];
    BuildReadRequest(tcp, TableHoldingRegisters, 1, 99, 2, false);
    Result r = Exchange(c, timing, tcp);
    EXPECT_EQ(r.wait.judgement.verdict, ReplyException);
    EXPECT_EQ(r.reply, (Bytes{1, 0x83, 2, 0xC0, 0xF1}));

    // A reply whose CRC was corrupted on the way is bad, and the next one
    // is taken again.
    through.CorruptNextReply();
    BuildReadRequest(tcp, TableHoldingRegisters, 1, 0, 2, false);
    r = Exchange(c, timing, tcp);
    EXPECT_EQ(r.wait.outcome, WaitAnswered);
    EXPECT_EQ(r.wait.judgement.verdict, ReplyInvalid);
    EXPECT_EQ(r.wait.judgement.fault, FaultCrc);
    EXPECT_EQ(Read(c, timing, TableHoldingRegisters, 0, 2), (std::vector<int>{2000, 2001}));

    // Stray bytes waiting before a request are read out as ignored.
    through.Inject({0xAA, 0xBB, 0xCC});
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(Read(c, timing, TableInputRegisters, 0, 1), (std::vector<int>{1000}));
    {
        std::lock_guard<std::mutex> lock(gIgnoredMutex);
        EXPECT_EQ(gIgnored, (Bytes{0xAA, 0xBB, 0xCC}));
    }

    // Another unit id gets no answer on the line: a time-out.
    BuildReadRequest(tcp, TableHoldingRegisters, 2, 0, 1, false);
    r = Exchange(c, timing, tcp);
    EXPECT_EQ(r.wait.outcome, WaitTimedOut);
    EXPECT_EQ(r.wait.received, 0);
    CloseConnection(c);
}
