// sorbel-scan as a user runs it, against the simulator in its own process:
// what it prints, what it says on stderr, and its exit codes. And its
// command line.
#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

#include "scan/scan_options.h"
#include "scan/scan_run.h"
#include "tests/support/fake_modbus_server.h"
#include "tests/support/program_run.h"
#include "tests/support/sim_process.h"
#include "tests/support/socat.h"

namespace {

ProgramRun Scan(std::vector<std::string> args)
{
    return RunProgram(SORBEL_SCAN_PATH, std::move(args), 30000);
}

std::string Target(const SimProcess& sim)
{
    return "127.0.0.1:" + std::to_string(sim.Port());
}

}  // namespace

TEST(ScanCommand, UnitsIdentitiesAndARegisterMapFromTheSimulator)
{
    // 1 and 7 answer, 3 is absent behind the gateway, 5 refuses every probe
    // read at address 0, the rest are silent.
    SimProcess sim({"--port", "0", "--units", "1,5,7", "--gateway-absent", "3", "--identity", "Sorbel, Inc.;SIM-1;1.0",
                    "--holes",
                    "5/coils:0,5/inputs:0,5/input-registers:0,5/holding-registers:0,holding-registers:100-199"});
    ASSERT_GT(sim.Port(), 0);
    ProgramRun run = Scan({Target(sim), "--units", "1-8", "--id", "--timeout", "300"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "unit,status,vendor,product,revision\n"
                       "1,answers,\"Sorbel, Inc.\",SIM-1,1.0\n"
                       "2,silent,,,\n"
                       "3,absent,,,\n"
                       "4,silent,,,\n"
                       "5,exception,\"Sorbel, Inc.\",SIM-1,1.0\n"
                       "6,silent,,,\n"
                       "7,answers,\"Sorbel, Inc.\",SIM-1,1.0\n"
                       "8,silent,,,\n");
    // No progress lines when stderr is not a terminal: the summary alone.
    EXPECT_EQ(run.err.find('\r'), std::string::npos);
    EXPECT_NE(run.err.find("8 units, 2 answers, 1 exception, 1 absent, 4 silent"), std::string::npos) << run.err;

    run = Scan({Target(sim), "--units", "7", "--registers", "holding-registers:0-999"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "table,first,last,status\n"
                       "holding-registers,0,99,readable\n"
                       "holding-registers,100,199,unreadable\n"
                       "holding-registers,200,999,readable\n");

    // A device that answers every unit id alike is named as such.
    SimProcess anyUnit({"--port", "0"});
    run = Scan({Target(anyUnit), "--units", "1-3"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.err.find("the device probably ignores the unit id"), std::string::npos) << run.err;
    // One that answers as unit 0: every reply is invalid, and says why.
    SimProcess asZero({"--port", "0", "--answer-unit", "0"});
    run = Scan({Target(asZero), "--units", "2"});
    EXPECT_EQ(run.out, "unit,status,vendor,product,revision\n2,invalid,,,\n");
    EXPECT_NE(run.err.find("unit 2: the reply carries unit id 0"), std::string::npos) << run.err;

    // Nothing listening: 1; wrong arguments: 2 with the usage.
    run = Scan({"127.0.0.1:" + std::to_string(FreeLoopbackPort())});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("cannot connect to 127.0.0.1:"), std::string::npos) << run.err;
    EXPECT_TRUE(run.out.empty());
    run = Scan({Target(sim), "--units", "1-300"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("usage: sorbel-scan"), std::string::npos);
}

TEST(ScanCommand, IdentifiesOverRtuAcrossMoreFollows)
{
    SKIP_WITHOUT_SOCAT();
    Socat pair("pty,raw,echo=0,link=@/a", "pty,raw,echo=0,link=@/b");
    ASSERT_TRUE(pair.WaitFor("a") && pair.WaitFor("b"));
    // Objects too long for one reply: the device sends them over two.
    const std::string vendor(200, 'V');
    SimProcess sim({"--rtu", pair.Path("a"), "--parity", "N", "--units", "3", "--identity", vendor + ";PRODUCT;9.9"});
    ASSERT_TRUE(sim.Listening());
    const ProgramRun run = Scan({"--serial", pair.Path("b"), "--parity", "N", "--units", "2-4", "--id"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out,
              "unit,status,vendor,product,revision\n2,silent,,,\n3,answers," + vendor + ",PRODUCT,9.9\n4,silent,,,\n");
}

TEST(ScanCommand, ConnectsAgainWhenTheLinkIsLostAndStopsWhenAsked)
{
    FakeModbusServer server;
    ASSERT_TRUE(server.Listening());
    ScanOptions options;
    options.target.host = "127.0.0.1";
    options.target.port = server.Port();
    options.firstUnit = 1;
    options.lastUnit = 3;
    options.gapMs = 0;
    // Unit 2's probe loses the link once, unit 3's twice.
    for (const FakeReply& r :
         {FakeReply::Normal(), FakeReply::Hangup(), FakeReply::Normal(), FakeReply::Hangup(), FakeReply::Hangup(true)})
        server.Push(r);
    auto run = [&options](sig_atomic_t stopAtOnce, int* exitCode) {
        const volatile sig_atomic_t stop = stopAtOnce;
        FILE* out = std::tmpfile();
        FILE* err = std::tmpfile();
        ScanOutput output{out, err, false, &stop};
        *exitCode = RunScan(options, output);
        std::string text[2];
        for (int i = 0; i < 2; i++) {
            FILE* f = i == 0 ? out : err;
            std::rewind(f);
            for (int ch; (ch = std::fgetc(f)) != EOF;)
                text[i] += static_cast<char>(ch);
            std::fclose(f);
        }
        return std::pair(text[0], text[1]);
    };
    int exitCode = -1;
    auto [out, err] = run(0, &exitCode);
    EXPECT_EQ(exitCode, 0) << err;
    EXPECT_EQ(out, "unit,status,vendor,product,revision\n1,answers,,,\n2,answers,,,\n3,silent,,,\n");
    EXPECT_NE(err.find("unit 3: the connection was lost twice on one request"), std::string::npos) << err;
    EXPECT_TRUE(server.WaitForAccepted(4));

    std::tie(out, err) = run(1, &exitCode);
    EXPECT_EQ(exitCode, 130);
    EXPECT_EQ(out, "unit,status,vendor,product,revision\n");
    EXPECT_NE(err.find("stopped at unit 1"), std::string::npos) << err;
}

TEST(ScanCommand, CommandLine)
{
    auto parse = [](std::vector<const char*> args, ScanOptions& o) {
        args.insert(args.begin(), "sorbel-scan");
        return ParseScanOptions(static_cast<int>(args.size()), args.data(), o);
    };
    ScanOptions o;
    EXPECT_EQ(parse({"plc.example"}, o), "");
    EXPECT_EQ(o.target.host, "plc.example");
    EXPECT_EQ(o.target.port, 502);
    EXPECT_EQ(o.firstUnit, 1);
    EXPECT_EQ(o.lastUnit, 247);
    EXPECT_EQ(o.timeoutMs, static_cast<int>(kDefaultProbeTimeoutMs));

    ScanOptions serial;
    EXPECT_EQ(parse({"--serial", "/dev/ttyUSB0", "--baud=9600", "--parity", "n", "--stop", "2", "--units", "5", "--id",
                     "--timeout", "500", "--gap=0"},
                    serial),
              "");
    EXPECT_EQ(serial.target.transport, TransportRtuSerial);
    EXPECT_EQ(LineSettingsText(serial.target.serial), "9600 8N2");
    EXPECT_EQ(serial.firstUnit, 5);
    EXPECT_EQ(serial.lastUnit, 5);
    EXPECT_TRUE(serial.identify);
    EXPECT_EQ(serial.gapMs, 0);

    ScanOptions map;
    EXPECT_EQ(parse({"--rtu-tcp", "10.0.0.9:4001", "--units", "3-3", "--registers", "coils:0-65535"}, map), "");
    EXPECT_EQ(map.target.transport, TransportRtuOverTcp);
    EXPECT_EQ(map.target.port, 4001);
    EXPECT_TRUE(map.mapRegisters);
    EXPECT_EQ(map.table, MapCoils);
    EXPECT_EQ(map.lastAddress, 65535);

    for (std::vector<const char*> bad : std::vector<std::vector<const char*>>{
             {},
             {"host", "other"},
             {"host:0"},
             {"host:70000"},
             {"host:"},
             {"host", "--rtu-tcp", "x"},
             {"host", "--units", "5-1"},
             {"host", "--units", "0-256"},
             {"--serial", "/dev/x", "--units", "0-5"},
             {"--rtu-tcp", "x", "--units", "1-248"},
             {"host", "--baud", "9600"},
             {"--serial", "/dev/x", "--baud", "9601"},
             {"--serial", "/dev/x", "--parity", "X"},
             {"host", "--registers", "holding-registers:0-9"},
             {"host", "--units", "1-2", "--registers", "coils:0-9"},
             {"host", "--units", "1", "--registers", "registers:0-9"},
             {"host", "--units", "1", "--registers", "coils:9-0"},
             {"host", "--units", "1", "--registers", "coils:0-9", "--id"},
             {"host", "--timeout", "5"},
             {"host", "--timeout", "60001"},
             {"host", "--gap", "-1"},
             {"host", "--id=yes"},
             {"host", "--frobnicate"},
             {"host", "--units"},
         }) {
        ScanOptions fresh;
        EXPECT_NE(parse(bad, fresh), "") << (bad.empty() ? "(nothing)" : bad.back());
    }
}
