// The RTU exchange end to end, as the engine calls it, with no window:
// against the simulator on a pseudo-terminal pair and through a
// TCP-to-pseudo-terminal bridge, and against libmodbus's own RTU server
// behind a pass-through that can corrupt a reply.
#include <gtest/gtest.h>

#include <poll.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <modbus.h>

#include "common/table_numbers.h"
#include "connection/device_settings.h"
#include "connection/serial_port.h"
#include "modbus/frames.h"
#include "modbus/transaction.h"
#include "tests/support/sim_process.h"
#include "tests/support/socat.h"

namespace {

using Values = std::vector<int>;

std::vector<uint8_t> gIgnored;  // the exchange runs on the test's thread

void CollectIgnored(const uint8_t* bytes, int count)
{
    gIgnored.insert(gIgnored.end(), bytes, bytes + count);
}

SerialSettings Line(const std::string& port)
{
    return {port, 19200, ParityNone, 1};  // a pseudo-terminal takes no parity
}

// One transaction of the Modbus/TCP request tcp, sent as RTU; the reply
// stays in buffer.
Transaction Exchange(Connection* c, const LineTiming& timing, const uint8_t* tcp, uint8_t* buffer)
{
    uint8_t request[kMaxFrameLength];
    const int length = FrameRequest(kRtuFraming, tcp, kRequestLength, 0, request);
    return Transact({c, kRtuFraming, timing}, request, length, buffer, kCycleBufferSize, CollectIgnored,
                    kResponseTimeoutMs);
}

bool Valid(const Transaction& t)
{
    return t.outcome.kind == OutcomeValid || t.outcome.kind == OutcomeBroadcast;
}

// The bits or registers of a valid read; empty otherwise.
Values Read(Connection* c, const LineTiming& timing, int table, int address, int quantity)
{
    uint8_t tcp[kRequestLength], buffer[kCycleBufferSize];
    BuildReadRequest(tcp, table, 1, address, quantity, false);
    const Transaction t = Exchange(c, timing, tcp, buffer);
    if (t.outcome.kind != OutcomeValid)
        return {};
    const uint8_t* data = t.reply.pdu + 2;
    Values values;
    for (int i = 0; i < quantity; i++)
        values.push_back(table <= TableCoils ? (data[i / 8] >> (i % 8)) & 1 : data[2 * i] << 8 | data[2 * i + 1]);
    return values;
}

bool Write(Connection* c, const LineTiming& timing, int function, int address, int value, int unit = 1)
{
    uint8_t tcp[kRequestLength], buffer[kCycleBufferSize];
    BuildWriteRequest(tcp, unit, function, address, value, false);
    return Valid(Exchange(c, timing, tcp, buffer));
}

// The simulator's start pattern in all four tables, and a write of each
// kind read back.
void CheckSimulator(Connection* c, const LineTiming& timing)
{
    EXPECT_EQ(Read(c, timing, TableDiscreteInputs, 0, 7), (Values{1, 0, 0, 1, 0, 0, 1}));
    EXPECT_EQ(Read(c, timing, TableCoils, 0, 4), (Values{1, 0, 1, 0}));
    EXPECT_EQ(Read(c, timing, TableInputRegisters, 100, 3), (Values{100, 101, 102}));
    EXPECT_TRUE(Write(c, timing, kFunctionWriteRegister, 10, 4711));
    EXPECT_TRUE(Write(c, timing, kFunctionWriteCoil, 1, kCoilOn));
    EXPECT_EQ(Read(c, timing, TableHoldingRegisters, 10, 2), (Values{4711, 0}));
    EXPECT_EQ(Read(c, timing, TableCoils, 0, 2), (Values{1, 1}));
}

}  // namespace

TEST(RtuExchange, SimulatorOnAPseudoTerminalPair)
{
    SKIP_WITHOUT_SOCAT();
    Socat pair("pty,raw,echo=0,link=@/a", "pty,raw,echo=0,link=@/b");
    ASSERT_TRUE(pair.WaitFor("a") && pair.WaitFor("b"));
    SimProcess sim({"--rtu", pair.Path("a"), "--parity", "N"});
    ASSERT_TRUE(sim.Listening());
    Connection* c = OpenSerialPort(Line(pair.Path("b")), nullptr);
    ASSERT_NE(c, nullptr);
    const LineTiming timing = SerialLineTiming(Line(""));
    CheckSimulator(c, timing);

    // A broadcast is carried out and not answered: it ends as sent.
    EXPECT_TRUE(Write(c, timing, kFunctionWriteRegister, 11, 99, 0));
    EXPECT_EQ(Read(c, timing, TableHoldingRegisters, 11, 1), (Values{99}));
    CloseConnection(c);
}

TEST(RtuExchange, RtuOverTcpThroughABridge)
{
    SKIP_WITHOUT_SOCAT();
    const int port = FreeLoopbackPort();
    Socat bridge("tcp-listen:" + std::to_string(port) + ",reuseaddr,bind=127.0.0.1", "pty,raw,echo=0,link=@/pty");
    Connection* c = nullptr;
    for (int i = 0; i < 500 && !(c = OpenConnection("127.0.0.1", port)); i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_NE(c, nullptr);
    // The bridge makes its pseudo-terminal once connected.
    ASSERT_TRUE(bridge.WaitFor("pty"));
    SimProcess sim({"--rtu", bridge.Path("pty"), "--parity", "N"});
    ASSERT_TRUE(sim.Listening());
    CheckSimulator(c, LineTiming{});
    CloseConnection(c);
}

TEST(RtuExchange, AgainstLibmodbusRtuServer)
{
    SKIP_WITHOUT_SOCAT();
    Socat clientLine("pty,raw,echo=0,link=@/a", "pty,raw,echo=0,link=@/b");
    Socat serverLine("pty,raw,echo=0,link=@/a", "pty,raw,echo=0,link=@/b");
    ASSERT_TRUE(clientLine.WaitFor("a") && clientLine.WaitFor("b") && serverLine.WaitFor("a") &&
                serverLine.WaitFor("b"));

    // libmodbus's RTU server, unit 1: input bits 1 at odd addresses, input
    // registers 1000 + address, holding registers 2000 + address.
    modbus_t* ctx = modbus_new_rtu(serverLine.Path("b").c_str(), 19200, 'N', 8, 1);
    modbus_mapping_t* mapping = modbus_mapping_new(100, 100, 100, 100);
    ASSERT_TRUE(ctx && mapping && modbus_set_slave(ctx, 1) == 0 && modbus_connect(ctx) == 0);
    for (int i = 0; i < 100; i++) {
        mapping->tab_input_bits[i] = static_cast<uint8_t>(i % 2);
        mapping->tab_input_registers[i] = static_cast<uint16_t>(1000 + i);
        mapping->tab_registers[i] = static_cast<uint16_t>(2000 + i);
    }
    // The client's line, and both ends of a pass-through between the lines:
    // requests go as they are, replies with their last byte flipped when
    // asked.
    Connection* c = OpenSerialPort(Line(clientLine.Path("a")), nullptr);
    Connection* up = OpenSerialPort(Line(clientLine.Path("b")), nullptr);
    Connection* down = OpenSerialPort(Line(serverLine.Path("a")), nullptr);
    ASSERT_TRUE(c && up && down);
    std::atomic<bool> stop{false}, corrupt{false};
    std::thread server([&] {
        uint8_t request[MODBUS_RTU_MAX_ADU_LENGTH];
        while (!stop) {
            pollfd line{modbus_get_socket(ctx), POLLIN, 0};
            int length = 0;
            if (poll(&line, 1, 20) > 0 && (length = modbus_receive(ctx, request)) > 0)
                modbus_reply(ctx, request, length, mapping);
        }
    });
    std::thread through([&] {
        uint8_t bytes[300];
        while (!stop) {
            int n = ReceiveWaiting(up, bytes, sizeof bytes);
            if (n > 0)
                SendData(down, bytes, n);
            if ((n = ReceiveWaiting(down, bytes, sizeof bytes)) > 0) {
                if (corrupt.exchange(false))
                    bytes[n - 1] ^= 1;
                SendData(up, bytes, n);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });

    const LineTiming timing = SerialLineTiming(Line(""));
    EXPECT_EQ(Read(c, timing, TableDiscreteInputs, 3, 4), (Values{1, 0, 1, 0}));
    EXPECT_EQ(Read(c, timing, TableCoils, 0, 10), Values(10, 0));
    EXPECT_EQ(Read(c, timing, TableInputRegisters, 5, 3), (Values{1005, 1006, 1007}));
    EXPECT_EQ(Read(c, timing, TableHoldingRegisters, 98, 2), (Values{2098, 2099}));
    EXPECT_TRUE(Write(c, timing, kFunctionWriteRegister, 7, 0xBEEF));
    EXPECT_TRUE(Write(c, timing, kFunctionWriteCoil, 9, kCoilOn));
    EXPECT_EQ(Read(c, timing, TableHoldingRegisters, 7, 1), (Values{0xBEEF}));
    EXPECT_EQ(Read(c, timing, TableCoils, 8, 2), (Values{0, 1}));

    // A reply corrupted on the way is judged bad; the next is taken again.
    corrupt = true;
    uint8_t tcp[kRequestLength], buffer[kCycleBufferSize];
    BuildReadRequest(tcp, TableHoldingRegisters, 1, 0, 2, false);
    const Transaction corrupted = Exchange(c, timing, tcp, buffer);
    EXPECT_EQ(corrupted.outcome.kind, OutcomeInvalid);
    EXPECT_EQ(corrupted.outcome.fault, FaultCrc);
    EXPECT_EQ(Read(c, timing, TableHoldingRegisters, 0, 2), (Values{2000, 2001}));

    // Stray bytes on the line before a request are read out as ignored.
    const uint8_t stray[] = {0xAA, 0xBB};
    SendData(up, stray, 2);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(Read(c, timing, TableInputRegisters, 0, 1), (Values{1000}));
    EXPECT_EQ(gIgnored, (std::vector<uint8_t>{0xAA, 0xBB}));

    stop = true;
    server.join();
    through.join();
    for (Connection* open : {c, up, down})
        CloseConnection(open);
    modbus_close(ctx);
    modbus_free(ctx);
    modbus_mapping_free(mapping);
}
