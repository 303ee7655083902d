// The simulator as a user runs it: a separate process on loopback, talked
// to by libmodbus as an independent Modbus client and by plain sockets for
// the command connection and for misbehaving clients.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <modbus.h>

#include <bit>

#include "connection/serial_port.h"
#include "dataview/value_encode.h"
#include "modbus/framing.h"
#include "tests/support/sim_process.h"
#include "tests/support/socat.h"

namespace {

using Bytes = std::vector<uint8_t>;

class RawClient {
public:
    explicit RawClient(int port) : fd_(socket(AF_INET, SOCK_STREAM, 0))
    {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(static_cast<uint16_t>(port));
        connected_ = connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    }
    ~RawClient() { Close(); }
    bool Connected() const { return connected_; }
    void Send(const Bytes& bytes) { send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL); }
    void Send(const std::string& text) { send(fd_, text.data(), text.size(), MSG_NOSIGNAL); }
    void Close()
    {
        if (fd_ >= 0)
            close(fd_);
        fd_ = -1;
    }
    // Everything that arrives within timeoutMs, stopping early after want
    // bytes or when the server closes (then closed is set).
    Bytes Receive(size_t want, int timeoutMs = 2000)
    {
        Bytes got;
        uint8_t buffer[600];
        pollfd p{fd_, POLLIN, 0};
        while (got.size() < want && poll(&p, 1, timeoutMs) > 0) {
            ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
            if (n <= 0) {
                closed = true;
                break;
            }
            got.insert(got.end(), buffer, buffer + n);
        }
        return got;
    }
    bool closed = false;

private:
    int fd_;
    bool connected_ = false;
};

struct ModbusClient {
    explicit ModbusClient(int port) : ctx(modbus_new_tcp("127.0.0.1", port))
    {
        ok = ctx && modbus_connect(ctx) == 0;
        if (ok)
            modbus_set_response_timeout(ctx, 2, 0);
    }
    ~ModbusClient()
    {
        if (ctx) {
            modbus_close(ctx);
            modbus_free(ctx);
        }
    }
    modbus_t* ctx;
    bool ok = false;
};

Bytes ReadHolding(uint8_t unit, uint16_t address, uint16_t quantity)
{
    return {
        0, 7, 0, 0, 0, 6, unit, 3, uint8_t(address >> 8), uint8_t(address), uint8_t(quantity >> 8), uint8_t(quantity)};
}

}  // namespace

TEST(Simulator, ServesTheStartPatternAndKeepsWrites)
{
    SimProcess sim;
    ASSERT_GT(sim.Port(), 0);
    ModbusClient client(sim.Port());
    ASSERT_TRUE(client.ok);

    uint8_t bits[8];
    ASSERT_EQ(modbus_read_input_bits(client.ctx, 0, 7, bits), 7);
    EXPECT_EQ(Bytes(bits, bits + 7), (Bytes{1, 0, 0, 1, 0, 0, 1}));
    ASSERT_EQ(modbus_read_bits(client.ctx, 65532, 4, bits), 4);
    EXPECT_EQ(Bytes(bits, bits + 4), (Bytes{1, 0, 1, 0}));
    uint16_t registers[3];
    ASSERT_EQ(modbus_read_input_registers(client.ctx, 65533, 3, registers), 3);
    EXPECT_EQ(registers[0], 65533);
    EXPECT_EQ(registers[2], 65535);
    ASSERT_EQ(modbus_read_registers(client.ctx, 3, 3, registers), 3);
    EXPECT_EQ(registers[0], 0);

    // Single and multiple writes of both kinds read back.
    ASSERT_EQ(modbus_write_register(client.ctx, 10, 4711), 1);
    const uint16_t many[2] = {0xABCD, 0x1234};
    ASSERT_EQ(modbus_write_registers(client.ctx, 65534, 2, many), 2);
    ASSERT_EQ(modbus_write_bit(client.ctx, 0, 0), 1);
    const uint8_t coils[3] = {1, 1, 1};
    ASSERT_EQ(modbus_write_bits(client.ctx, 101, 3, coils), 3);
    ASSERT_EQ(modbus_read_registers(client.ctx, 10, 1, registers), 1);
    EXPECT_EQ(registers[0], 4711);
    ASSERT_EQ(modbus_read_registers(client.ctx, 65534, 2, registers), 2);
    EXPECT_EQ(registers[0], 0xABCD);
    EXPECT_EQ(registers[1], 0x1234);
    ASSERT_EQ(modbus_read_bits(client.ctx, 0, 1, bits), 1);
    EXPECT_EQ(bits[0], 0);
    ASSERT_EQ(modbus_read_bits(client.ctx, 100, 5, bits), 5);
    EXPECT_EQ(Bytes(bits, bits + 5), (Bytes{1, 1, 1, 1, 1}));

    // The live registers move while the rest stays put.
    uint16_t before[3], after[3];
    ASSERT_EQ(modbus_read_registers(client.ctx, 0, 3, before), 3);
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    ASSERT_EQ(modbus_read_registers(client.ctx, 0, 3, after), 3);
    EXPECT_NE(after[0], before[0]);
    EXPECT_NE(after[2], before[2]);
    EXPECT_LE(after[1], 1000);
}

TEST(Simulator, TakesWriteMultipleRegistersAndCoilsAsTheEncoderBuildsThem)
{
    SimProcess sim;
    ASSERT_GT(sim.Port(), 0);
    RawClient raw(sim.Port());
    ModbusClient reader(sim.Port());
    ASSERT_TRUE(raw.Connected() && reader.ok);

    // Each request is answered with its echo: ids, length 6, function,
    // address and quantity.
    auto write = [&](ValueType type, ByteOrder order, int function, const char* text, int address) {
        ValueWrite w;
        w.type = type;
        w.order = order;
        w.function = function;
        w.text = text;
        w.address = address;
        const EncodedValue e = EncodeValue(w);
        EXPECT_EQ(e.reason, "");
        raw.Send(e.frame);
        Bytes echo(e.frame.begin(), e.frame.begin() + 12);
        echo[5] = 6;
        EXPECT_EQ(raw.Receive(12), echo) << text;
        return e;
    };

    // Four registers: a float64 in word-swapped order (GHEFCDAB).
    const EncodedValue wide = write(TypeFloat64, OrderCDAB, 16, "-2.5e-3", 200);
    ASSERT_EQ(wide.frame.size(), 21u);
    uint16_t registers[4];
    ASSERT_EQ(modbus_read_registers(reader.ctx, 200, 4, registers), 4);
    EXPECT_EQ(std::vector<uint16_t>(registers, registers + 4), wide.registers);
    const uint64_t bits =
        uint64_t{registers[3]} << 48 | uint64_t{registers[2]} << 32 | uint64_t{registers[1]} << 16 | registers[0];
    EXPECT_EQ(std::bit_cast<double>(bits), -2.5e-3);

    // A float32 in CDAB order, as libmodbus itself reads that order.
    write(TypeFloat32, OrderCDAB, 16, "123.456", 210);
    ASSERT_EQ(modbus_read_registers(reader.ctx, 210, 2, registers), 2);
    EXPECT_EQ(modbus_get_float_cdab(registers), 123.456f);

    // One coil by function 15, between two that keep their start values.
    write(TypeCoil, OrderABCD, 15, "on", 301);
    uint8_t coils[3];
    ASSERT_EQ(modbus_read_bits(reader.ctx, 300, 3, coils), 3);
    EXPECT_EQ(Bytes(coils, coils + 3), (Bytes{1, 1, 1}));
    write(TypeCoil, OrderABCD, 15, "off", 301);
    ASSERT_EQ(modbus_read_bits(reader.ctx, 300, 3, coils), 3);
    EXPECT_EQ(Bytes(coils, coils + 3), (Bytes{1, 0, 1}));
}

TEST(Simulator, RefusedRequestsGetExceptionsAndTheSessionGoesOn)
{
    SimProcess sim;
    ASSERT_GT(sim.Port(), 0);
    RawClient client(sim.Port());
    ASSERT_TRUE(client.Connected());
    struct Case {
        const char* what;
        Bytes request, response;
    } cases[] = {
        {"quantity 65535", ReadHolding(1, 0, 65535), {0, 7, 0, 0, 0, 3, 1, 0x83, 3}},
        {"past the last address", ReadHolding(1, 65535, 2), {0, 7, 0, 0, 0, 3, 1, 0x83, 2}},
        {"unserved function", {0, 8, 0, 0, 0, 2, 1, 0x11}, {0, 8, 0, 0, 0, 3, 1, 0x91, 1}},
        {"body too short", {0, 9, 0, 0, 0, 4, 1, 3, 0, 0}, {0, 9, 0, 0, 0, 3, 1, 0x83, 3}},
        {"byte count beyond the frame",
         {0, 10, 0, 0, 0, 9, 1, 16, 0, 0, 0, 2, 4, 0, 1},
         {0, 10, 0, 0, 0, 3, 1, 0x90, 3}},
        {"coil value neither on nor off", {0, 11, 0, 0, 0, 6, 1, 5, 0, 1, 0x12, 0x34}, {0, 11, 0, 0, 0, 3, 1, 0x85, 3}},
    };
    for (const Case& c : cases) {
        client.Send(c.request);
        EXPECT_EQ(client.Receive(c.response.size()), c.response) << c.what;
    }
    client.Send(ReadHolding(1, 100, 1));
    EXPECT_EQ(client.Receive(11), (Bytes{0, 7, 0, 0, 0, 5, 1, 3, 2, 0, 0}));
}

TEST(Simulator, UnitOptionAnswersOnlyThatUnit)
{
    SimProcess sim({"--port", "0", "--unit", "5"});
    ASSERT_GT(sim.Port(), 0);
    RawClient client(sim.Port());
    client.Send(ReadHolding(1, 100, 1));
    EXPECT_EQ(client.Receive(9), (Bytes{0, 7, 0, 0, 0, 3, 1, 0x83, 11}));
    client.Send(ReadHolding(5, 100, 1));
    EXPECT_EQ(client.Receive(11), (Bytes{0, 7, 0, 0, 0, 5, 5, 3, 2, 0, 0}));
}

TEST(Simulator, DeviceQuirksOnTheWire)
{
    SimProcess sim({"--port", "0", "--units", "1,5", "--gateway-absent", "3", "--holes", "holding-registers:100-199",
                    "--max-registers", "100", "--only-fc16", "--identity", "Sorbel;SIM-1;1.0", "--delay", "100"});
    ASSERT_GT(sim.Port(), 0);
    RawClient client(sim.Port());
    const struct {
        const char* what;
        Bytes request, response;
    } cases[] = {
        {"an answering unit", ReadHolding(5, 200, 1), {0, 7, 0, 0, 0, 5, 5, 3, 2, 0, 0}},
        {"behind the gateway", ReadHolding(3, 200, 1), {0, 7, 0, 0, 0, 3, 3, 0x83, 11}},
        {"into a hole", ReadHolding(1, 150, 1), {0, 7, 0, 0, 0, 3, 1, 0x83, 2}},
        {"past the cap", ReadHolding(1, 200, 101), {0, 7, 0, 0, 0, 3, 1, 0x83, 3}},
        {"a single write", {0, 8, 0, 0, 0, 6, 1, 6, 0, 10, 0, 1}, {0, 8, 0, 0, 0, 3, 1, 0x86, 1}},
        {"identification",
         {0, 9, 0, 0, 0, 5, 1, 43, 14, 1, 0},
         {0,   9,   0,   0,   0,   28, 1, 43,  14,  1,   0x81, 0,   0, 3, 0,   6,   'S',
          'o', 'r', 'b', 'e', 'l', 1,  5, 'S', 'I', 'M', '-',  '1', 2, 3, '1', '.', '0'}},
    };
    for (const auto& c : cases) {
        // Every reply, exceptions too, waits out the delay.
        const auto sent = std::chrono::steady_clock::now();
        client.Send(c.request);
        EXPECT_EQ(client.Receive(c.response.size()), c.response) << c.what;
        EXPECT_GE(std::chrono::steady_clock::now() - sent, std::chrono::milliseconds(100)) << c.what;
    }
    // A unit that is not there says nothing; the next request is answered.
    client.Send(ReadHolding(2, 200, 1));
    EXPECT_TRUE(client.Receive(1, 300).empty());
    client.Send(ReadHolding(1, 200, 1));
    EXPECT_EQ(client.Receive(11), (Bytes{0, 7, 0, 0, 0, 5, 1, 3, 2, 0, 0}));

    SimProcess gateway({"--port", "0", "--answer-unit", "0"});
    RawClient asZero(gateway.Port());
    asZero.Send(ReadHolding(1, 200, 1));
    EXPECT_EQ(asZero.Receive(11), (Bytes{0, 7, 0, 0, 0, 5, 0, 3, 2, 0, 0}));
}

TEST(Simulator, MisbehavingClientsDoNotDisturbOthers)
{
    SimProcess sim;
    ASSERT_GT(sim.Port(), 0);
    ModbusClient good(sim.Port());
    ASSERT_TRUE(good.ok);
    uint16_t value = 0;
    ASSERT_EQ(modbus_read_input_registers(good.ctx, 42, 1, &value), 1);

    // Half a request, left hanging.
    RawClient half(sim.Port());
    half.Send(Bytes{0, 1, 0, 0, 0, 6, 1, 3});
    // A valid request followed by bytes that cannot be Modbus/TCP.
    RawClient garbage(sim.Port());
    garbage.Send(Bytes{0, 1, 0, 0, 0, 6, 1, 4, 0, 7, 0, 1, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
    // Gone in the middle of a request.
    {
        RawClient gone(sim.Port());
        gone.Send(Bytes{0, 1, 0, 0, 0, 6, 1});
    }
    // After a valid request, one announcing more than a frame may carry.
    RawClient oversized(sim.Port());
    oversized.Send(Bytes{0, 1, 0, 0, 0, 6, 1, 4, 0, 7, 0, 1, 0, 2, 0, 0, 0x10, 0x00, 1, 3});

    EXPECT_EQ(garbage.Receive(11), (Bytes{0, 1, 0, 0, 0, 5, 1, 4, 2, 0, 7}));
    garbage.Receive(1);
    EXPECT_TRUE(garbage.closed);
    EXPECT_EQ(oversized.Receive(12).size(), 11u);
    EXPECT_TRUE(oversized.closed);

    // The well-behaved client is answered throughout, well within its time.
    for (uint16_t a = 0; a < 20; ++a) {
        ASSERT_EQ(modbus_read_input_registers(good.ctx, a, 1, &value), 1);
        EXPECT_EQ(value, a);
    }
    // And the half request is answered once its rest arrives.
    half.Send(Bytes{0, 5, 0, 1});
    EXPECT_EQ(half.Receive(11), (Bytes{0, 1, 0, 0, 0, 5, 1, 3, 2, 0, 0}));
    EXPECT_EQ(sim.WaitExit(0), -1);
}

TEST(Simulator, DelayedResponsesDoNotHoldUpOtherClients)
{
    SimProcess sim({"--port", "0", "--delay", "400"});
    ASSERT_GT(sim.Port(), 0);
    RawClient first(sim.Port()), second(sim.Port());
    first.Send(ReadHolding(1, 100, 1));
    second.Send(ReadHolding(1, 101, 1));
    // Nothing before the delay is over; then both answers.
    EXPECT_TRUE(first.Receive(1, 200).empty());
    EXPECT_EQ(first.Receive(11, 2000).size(), 11u);
    EXPECT_EQ(second.Receive(11, 200).size(), 11u);
}

TEST(Simulator, CommandConnections)
{
    SimProcess sim({"--port", "0", "--verbose"});
    ASSERT_GT(sim.Port(), 0);
    ModbusClient modbus(sim.Port());
    ASSERT_TRUE(modbus.ok);
    uint16_t value;
    ASSERT_EQ(modbus_read_registers(modbus.ctx, 100, 1, &value), 1);
    EXPECT_NE(sim.WaitForLine(SimProcess::Stderr, "-> 00 01 00 00 00 06 FF 03 00 64 00 01", 2000), "");
    EXPECT_NE(sim.WaitForLine(SimProcess::Stderr, "<- 00 01 00 00 00 05 FF 03 02 00 00", 2000), "");

    // Saying nothing, or anything but exactly "quit", stops nothing.
    for (const char* text : {"", "hello", "quit\n", "QUIT", "qu"}) {
        RawClient command(sim.Port());
        command.Send(std::string(text));
        command.Close();
    }
    EXPECT_NE(sim.WaitForLine(SimProcess::Stdout, "\"hello\" ignored", 2000), "");
    EXPECT_NE(sim.WaitForLine(SimProcess::Stdout, "\"quit\\x0A\" ignored", 2000), "");
    EXPECT_NE(sim.WaitForLine(SimProcess::Stdout, "\"qu\" ignored", 2000), "");
    ASSERT_EQ(modbus_read_registers(modbus.ctx, 100, 1, &value), 1);

    // Sent in pieces, "quit" still counts once the sender closes.
    RawClient quit(sim.Port());
    quit.Send(std::string("qu"));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    quit.Send(std::string("it"));
    quit.Close();
    EXPECT_EQ(sim.WaitExit(5000), 0);
}

TEST(Simulator, StopsCleanlyOnSignals)
{
    for (int signal : {SIGINT, SIGTERM}) {
        SimProcess sim;
        ASSERT_GT(sim.Port(), 0);
        RawClient idle(sim.Port());
        kill(sim.Pid(), signal);
        EXPECT_EQ(sim.WaitExit(5000), 0) << "signal " << signal;
    }
}

TEST(Simulator, CommandLine)
{
    for (std::vector<std::string> bad : std::vector<std::vector<std::string>>{{"--port", "70000"},
                                                                              {"--port"},
                                                                              {"--port", "-1"},
                                                                              {"--unit", "256"},
                                                                              {"--delay", "1s"},
                                                                              {"--bind", "localhost"},
                                                                              {"--frobnicate"},
                                                                              {"1502"},
                                                                              {"--verbose=yes"}}) {
        SimProcess sim(bad);
        EXPECT_EQ(sim.Port(), 0);
        EXPECT_EQ(sim.WaitExit(5000), 2) << bad[0];
    }
    SimProcess help({"--help"});
    EXPECT_EQ(help.WaitExit(5000), 0);

    // A port that is taken is a clear failure, not a silent other port.
    SimProcess first;
    ASSERT_GT(first.Port(), 0);
    SimProcess second({"--port=" + std::to_string(first.Port())});
    EXPECT_NE(second.WaitForLine(SimProcess::Stderr, "cannot listen", 5000), "");
    EXPECT_EQ(second.WaitExit(5000), 1);
}

TEST(Simulator, ServesRtuOnASerialDevice)
{
    SKIP_WITHOUT_SOCAT();
    Socat pair("pty,raw,echo=0,link=@/a", "pty,raw,echo=0,link=@/b");
    ASSERT_TRUE(pair.WaitFor("a") && pair.WaitFor("b"));
    SimProcess sim({"--rtu", pair.Path("a"), "--baud", "38400", "--parity", "N", "--unit", "17"});
    ASSERT_TRUE(sim.Listening());

    // libmodbus's RTU client, as an independent master on the line.
    modbus_t* ctx = modbus_new_rtu(pair.Path("b").c_str(), 38400, 'N', 8, 1);
    ASSERT_TRUE(ctx && modbus_connect(ctx) == 0);
    modbus_set_slave(ctx, 17);
    uint8_t bits[7];
    ASSERT_EQ(modbus_read_input_bits(ctx, 0, 7, bits), 7);
    EXPECT_EQ(Bytes(bits, bits + 7), (Bytes{1, 0, 0, 1, 0, 0, 1}));
    ASSERT_EQ(modbus_read_bits(ctx, 65532, 4, bits), 4);
    EXPECT_EQ(Bytes(bits, bits + 4), (Bytes{1, 0, 1, 0}));
    uint16_t registers[3];
    ASSERT_EQ(modbus_read_input_registers(ctx, 65533, 3, registers), 3);
    EXPECT_EQ(registers[2], 65535);
    ASSERT_EQ(modbus_write_register(ctx, 10, 4711), 1);
    ASSERT_EQ(modbus_read_registers(ctx, 10, 1, registers), 1);
    EXPECT_EQ(registers[0], 4711);
    // A device answers its own address only.
    modbus_set_slave(ctx, 1);
    modbus_set_response_timeout(ctx, 0, 300000);
    EXPECT_EQ(modbus_read_registers(ctx, 10, 1, registers), -1);
    modbus_close(ctx);
    modbus_free(ctx);
    kill(sim.Pid(), SIGTERM);
    EXPECT_EQ(sim.WaitExit(5000), 0);

    // Several devices on one line, with the quirks, as over TCP.
    SimProcess bus({"--rtu", pair.Path("a"), "--baud", "38400", "--parity", "N", "--units", "2,9", "--answer-unit", "9",
                    "--identity", "V;P;R"});
    ASSERT_TRUE(bus.Listening());
    Connection* line = OpenSerialPort({pair.Path("b"), 38400, ParityNone, 1}, nullptr);
    ASSERT_NE(line, nullptr);
    auto exchange = [line](Bytes request, size_t want) {
        const uint16_t crc = RtuCrc(request.data(), static_cast<int>(request.size()));
        request.push_back(static_cast<uint8_t>(crc & 0xFF));
        request.push_back(static_cast<uint8_t>(crc >> 8));
        SendData(line, request.data(), static_cast<int>(request.size()));
        Bytes reply(want + 1);
        int have = 0;
        for (int i = 0; i < 30 && have < static_cast<int>(want); i++) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            const int n = ReceiveWaiting(line, reply.data() + have, static_cast<int>(reply.size()) - have);
            have += n > 0 ? n : 0;
        }
        reply.resize(static_cast<size_t>(have));
        return reply;
    };
    // Unit 2 answers, as unit 9; unit 3 is not on the line.
    Bytes reply = exchange({2, 3, 0, 100, 0, 1}, 7);
    ASSERT_EQ(reply.size(), 7u);
    EXPECT_TRUE(RtuCrcValid(reply.data(), 7));
    EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 5), (Bytes{9, 3, 2, 0, 0}));
    EXPECT_TRUE(exchange({3, 3, 0, 100, 0, 1}, 7).empty());
    reply = exchange({9, 43, 14, 1, 0}, 19);
    ASSERT_EQ(reply.size(), 19u);
    EXPECT_EQ(FrameLength(kRtuFraming, reply.data(), 19), 19);
    EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 17),
              (Bytes{9, 43, 14, 1, 0x81, 0, 0, 3, 0, 1, 'V', 1, 1, 'P', 2, 1, 'R'}));
    CloseConnection(line);

    SimProcess missing({"--rtu", "/dev/ttyUSB-none"});
    EXPECT_EQ(missing.WaitExit(5000), 1);
}
