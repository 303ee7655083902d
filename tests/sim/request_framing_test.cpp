// Cutting a client's stream into requests, and telling Modbus from text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/live_values.h"
#include "sim/request_framing.h"
#include "sim/sim_options.h"

namespace {

using Bytes = std::vector<uint8_t>;

StreamKind Classify(const Bytes& b)
{
    return ClassifyStream(b.data(), b.size());
}
StreamKind Classify(const std::string& s)
{
    return ClassifyStream(reinterpret_cast<const uint8_t*>(s.data()), s.size());
}

}  // namespace

TEST(RequestFraming, ClassifiesAFreshConnection)
{
    EXPECT_EQ(Classify(Bytes{}), StreamKind::Undecided);
    EXPECT_EQ(Classify(std::string("qu")), StreamKind::Undecided);
    // Text differs from a header at its third byte already.
    EXPECT_EQ(Classify(std::string("qui")), StreamKind::Command);
    EXPECT_EQ(Classify(std::string("quit")), StreamKind::Command);
    EXPECT_EQ(Classify(Bytes{0x12, 0x34, 0, 0, 0}), StreamKind::Undecided);
    EXPECT_EQ(Classify(Bytes{0x12, 0x34, 0, 0, 0, 6}), StreamKind::Modbus);
    EXPECT_EQ(Classify(Bytes{0x12, 0x34, 0, 1, 0, 6}), StreamKind::Command);
    // Length field: unit + function at least, 260 bytes in all at most.
    EXPECT_EQ(Classify(Bytes{0, 0, 0, 0, 0, 1}), StreamKind::Command);
    EXPECT_EQ(Classify(Bytes{0, 0, 0, 0, 0, 2}), StreamKind::Modbus);
    EXPECT_EQ(Classify(Bytes{0, 0, 0, 0, 0, 254}), StreamKind::Modbus);
    EXPECT_EQ(Classify(Bytes{0, 0, 0, 0, 0, 255}), StreamKind::Command);
}

TEST(RequestFraming, CutsRequestsByTheirHeader)
{
    Bytes two = {0, 1, 0, 0, 0, 6, 1, 3, 0, 0, 0, 1, 0, 2, 0, 0, 0, 6, 1, 4, 0, 0};
    for (size_t n = 0; n < 12; ++n)
        EXPECT_EQ(NextRequestLength(two.data(), n), 0) << n;
    EXPECT_EQ(NextRequestLength(two.data(), two.size()), 12);
    // The second one is still short.
    EXPECT_EQ(NextRequestLength(two.data() + 12, two.size() - 12), 0);

    Bytes badProtocol = {0, 1, 0, 5, 0, 6, 1, 3, 0, 0, 0, 1};
    EXPECT_EQ(NextRequestLength(badProtocol.data(), badProtocol.size()), -1);
    Bytes tooLong = {0, 1, 0, 0, 1, 0};
    EXPECT_EQ(NextRequestLength(tooLong.data(), tooLong.size()), -1);
}

TEST(RequestFraming, ChecksTheBodyAgainstItsFunction)
{
    auto check = [](Bytes b) { return CheckRequest(b.data(), static_cast<int>(b.size())); };
    EXPECT_EQ(check({0, 1, 0, 0, 0, 6, 1, 3, 0, 0, 0, 1}), RequestCheck::Serve);
    EXPECT_EQ(check({0, 1, 0, 0, 0, 6, 1, 5, 0, 0, 0xFF, 0}), RequestCheck::Serve);
    EXPECT_EQ(check({0, 1, 0, 0, 0, 5, 1, 3, 0, 0, 0}), RequestCheck::BadLength);
    EXPECT_EQ(check({0, 1, 0, 0, 0, 7, 1, 3, 0, 0, 0, 1, 9}), RequestCheck::BadLength);
    EXPECT_EQ(check({0, 1, 0, 0, 0, 11, 1, 16, 0, 0, 0, 2, 4, 0, 1, 0, 2}), RequestCheck::Serve);
    EXPECT_EQ(check({0, 1, 0, 0, 0, 10, 1, 16, 0, 0, 0, 2, 4, 0, 1, 0}), RequestCheck::BadLength);
    EXPECT_EQ(check({0, 1, 0, 0, 0, 6, 1, 15, 0, 0, 0, 1}), RequestCheck::BadLength);
    EXPECT_EQ(check({0, 1, 0, 0, 0, 8, 1, 15, 0, 0, 0, 3, 1, 7}), RequestCheck::Serve);
    EXPECT_EQ(check({0, 1, 0, 0, 0, 5, 1, 43, 14, 1, 0}), RequestCheck::Serve);
    EXPECT_EQ(check({0, 1, 0, 0, 0, 4, 1, 43, 14, 1}), RequestCheck::BadLength);
    for (int function : {0, 7, 8, 17, 22, 23, 0x83})
        EXPECT_EQ(check({0, 1, 0, 0, 0, 2, 1, static_cast<uint8_t>(function)}), RequestCheck::BadFunction) << function;

    // RTU requests: by function code, and the byte count of 15 and 16.
    const struct {
        Bytes bytes;
        int length;
    } rtu[] = {
        {{1}, 0},     {{1, 3}, 8},   {{1, 6, 0}, 8},  {{1, 16, 0, 0, 0, 2}, 0}, {{1, 16, 0, 0, 0, 2, 4}, 13},
        {{1, 43}, 7}, {{1, 17}, -1}, {{1, 0x83}, -1},
    };
    for (const auto& c : rtu)
        EXPECT_EQ(RtuRequestLength(c.bytes.data(), c.bytes.size()), c.length) << int(c.bytes.back());
}

TEST(SimOptions, ReadsTheCommandLine)
{
    auto parse = [](std::vector<const char*> args, SimOptions& o) {
        args.insert(args.begin(), "sorbel-sim");
        return ParseSimOptions(static_cast<int>(args.size()), args.data(), o);
    };
    SimOptions o;
    EXPECT_EQ(parse({}, o), "");
    EXPECT_EQ(o.bindAddress, "127.0.0.1");
    EXPECT_EQ(o.port, -1);
    EXPECT_EQ(o.unit, -1);

    EXPECT_EQ(parse({"--bind", "0.0.0.0", "--port=0", "--unit", "247", "--delay=60000", "--verbose"}, o), "");
    EXPECT_EQ(o.bindAddress, "0.0.0.0");
    EXPECT_EQ(o.port, 0);
    EXPECT_EQ(o.unit, 247);
    EXPECT_EQ(o.delayMs, 60000);
    EXPECT_TRUE(o.verbose);

    for (std::vector<const char*> bad :
         std::vector<std::vector<const char*>>{{"--port", "65536"},
                                               {"--port", "+5"},
                                               {"--port", ""},
                                               {"--port", "0x10"},
                                               {"--unit"},
                                               {"--delay", "60001"},
                                               {"--delay", "99999999999"},
                                               {"--bind", "1.2.3"},
                                               {"--bind=::1"},
                                               {"-x"},
                                               {"502"},
                                               {"--rtu", "/dev/x", "--port", "1"},
                                               {"--baud", "9600"},
                                               {"--rtu", "/dev/x", "--baud", "9601"},
                                               {"--rtu", "/dev/x", "--parity", "e"},
                                               {"--rtu", "/dev/x", "--stop-bits=3"},
                                               {"--rtu", "/dev/x", "--unit", "0"},
                                               {"--rtu="},
                                               {"--units", "1,"},
                                               {"--units", "7-3"},
                                               {"--units", "256"},
                                               {"--units", "1", "--unit", "1"},
                                               {"--units", "3", "--gateway-absent", "1-3"},
                                               {"--rtu", "/dev/x", "--units", "0-2"},
                                               {"--holes", "registers:1-2"},
                                               {"--holes", "coils:5-4"},
                                               {"--holes", "256/coils:1"},
                                               {"--holes", "coils:1-70000"},
                                               {"--identity", "a;b"},
                                               {"--identity", "a;b;c;d"},
                                               {"--max-registers", "0"},
                                               {"--max-registers", "126"},
                                               {"--answer-unit", "256"},
                                               {"--only-fc16=1"}}) {
        SimOptions fresh;
        EXPECT_NE(parse(bad, fresh), "") << bad[0];
    }

    SimOptions quirks;
    EXPECT_EQ(parse({"--units", "1,7,10-12", "--gateway-absent=3", "--holes", "5/coils:0,holding-registers:100-199",
                     "--identity", "Sorbel;SIM-1;", "--max-registers", "100", "--only-fc16", "--answer-unit", "0"},
                    quirks),
              "");
    EXPECT_EQ(quirks.units.count(), 5u);
    EXPECT_TRUE(quirks.units.test(11) && !quirks.units.test(3) && quirks.gatewayAbsent.test(3));
    ASSERT_EQ(quirks.holes.size(), 2u);
    EXPECT_EQ(quirks.holes[0].unit, 5);
    EXPECT_EQ(quirks.holes[0].table, MapCoils);
    EXPECT_EQ(quirks.holes[1].unit, -1);
    EXPECT_EQ(quirks.holes[1].last, 199);
    EXPECT_EQ(quirks.identity[1], "SIM-1");
    EXPECT_EQ(quirks.identity[2], "");
    EXPECT_TRUE(quirks.hasIdentity && quirks.onlyMultipleWrites);
    EXPECT_EQ(quirks.maxRegisters, 100);
    EXPECT_EQ(quirks.answerUnit, 0);

    SimOptions rtu;
    EXPECT_EQ(parse({"--rtu", "/dev/ttyUSB0", "--baud=9600", "--parity", "O", "--stop-bits", "2"}, rtu), "");
    EXPECT_EQ(rtu.rtuDevice, "/dev/ttyUSB0");
    EXPECT_EQ(rtu.baud, 9600);
    EXPECT_EQ(rtu.parity, 'O');
    EXPECT_EQ(rtu.stopBits, 2);
}

TEST(LiveValues, WaveStaysInRangeAndRepeats)
{
    uint16_t low = 1000, high = 0;
    for (uint32_t s = 0; s < 20; ++s) {
        low = std::min(low, WaveValue(s));
        high = std::max(high, WaveValue(s));
        EXPECT_EQ(WaveValue(s), WaveValue(s + 20));
    }
    EXPECT_EQ(low, 0);
    EXPECT_EQ(high, 1000);
    EXPECT_EQ(WaveValue(0), 500);
}
