// Scan requests on a Modbus/TCP connection to the scripted server: what
// each kind of answer becomes, transaction ids that are never reused, late
// replies left aside, the gap before each request, a lost link.
#include <gtest/gtest.h>

#include <vector>

#include "modbus/device_id.h"
#include "modbus/scan_exchange.h"
#include "modbus/unit_scan.h"
#include "tests/support/fake_modbus_server.h"

namespace {

using Bytes = std::vector<uint8_t>;

ScanRequest Probe(uint8_t unit, uint8_t function = 3)
{
    ScanRequest r;
    r.unit = unit;
    r.function = function;
    r.quantity = 1;
    return r;
}

}  // namespace

TEST(ScanExchange, EachOutcomeOnModbusTcp)
{
    FakeModbusServer server;
    ASSERT_TRUE(server.Listening());
    server.SetValue(4, 0, 0x1234);
    ScanLink link;
    link.connection = OpenConnection("127.0.0.1", server.Port());
    ASSERT_NE(link.connection, nullptr);
    link.timeoutMs = 100;
    link.gapMs = 30;

    ScanRequest identify = Probe(9, kFunctionDeviceId);
    identify.objectId = 1;
    const Bytes idReply = {0, 7, 0, 0, 0, 10, 9, 43, 14, 1, 0x81, 0, 0, 1, 1, 0};
    const struct {
        const char* what;
        FakeReply script;
        ScanRequest request;
        OutcomeKind outcome;
        uint8_t code;
        ReplyFault fault;
        Bytes pdu;
        bool lateBefore = false;  // the request before it is answered too late
    } cases[] = {
        {"answer", FakeReply::Normal(), Probe(1), OutcomeValid, 0, FaultNone, {3, 2, 0x12, 0x34}},
        {"exception", FakeReply::Error(2), Probe(1, 4), OutcomeException, 2, FaultNone, {}},
        {"as another unit", FakeReply::Patched({{6, 0}}), Probe(1), OutcomeInvalid, 0, FaultUnitId, {}},
        {"nothing", FakeReply::Never(), Probe(1), OutcomeTimeout, 0, FaultNone, {}},
        // The reply to the request before comes now: it is not this one's.
        {"late, then nothing", FakeReply::Never(), Probe(1), OutcomeTimeout, 0, FaultNone, {}, true},
        {"identification",
         FakeReply::Raw(idReply),
         identify,
         OutcomeValid,
         0,
         FaultNone,
         {43, 14, 1, 0x81, 0, 0, 1, 1, 0}},
    };
    for (const auto& c : cases) {
        if (c.lateBefore) {
            server.Push(FakeReply::Delayed(150));
            ScanReply first;
            ASSERT_TRUE(ScanTransact(link, Probe(2), &first));
            EXPECT_EQ(first.outcome.kind, OutcomeTimeout);
        }
        server.Push(c.script);
        ScanReply reply;
        ASSERT_TRUE(ScanTransact(link, c.request, &reply)) << c.what;
        EXPECT_EQ(reply.outcome.kind, c.outcome) << c.what;
        EXPECT_EQ(reply.outcome.exceptionCode, c.code) << c.what;
        EXPECT_EQ(reply.outcome.fault, c.fault) << c.what;
        EXPECT_EQ(reply.pdu, c.pdu) << c.what;
    }
    EXPECT_EQ(link.requests, 7u);

    // Each request has a transaction id of its own, counting up; after a
    // reply, the next request waits out the gap.
    const auto requests = server.Requests();
    const auto times = server.RequestTimesUs();
    ASSERT_EQ(requests.size(), 7u);
    for (size_t i = 0; i < requests.size(); i++)
        EXPECT_EQ(requests[i][0] << 8 | requests[i][1], static_cast<int>(i) + 1);
    EXPECT_EQ(requests[6], (Bytes{0, 7, 0, 0, 0, 5, 9, 43, 14, 1, 1}));
    EXPECT_GE(times[1] - times[0], 30000);

    // The server goes away: the link is lost.
    server.Push(FakeReply::Hangup());
    ScanReply reply;
    EXPECT_FALSE(ScanTransact(link, Probe(1), &reply));
    CloseConnection(link.connection);
}

TEST(ScanExchange, TargetsAndTheirLinks)
{
    ScanTarget tcp;
    tcp.host = "10.0.0.5";
    ScanTarget converter = tcp;
    converter.transport = TransportRtuOverTcp;
    converter.port = 4001;
    ScanTarget line;
    line.transport = TransportRtuSerial;
    line.serial.port = "/dev/ttyUSB0";
    EXPECT_EQ(ScanTargetText(tcp), "10.0.0.5:502");
    EXPECT_EQ(ScanTargetText(converter), "10.0.0.5:4001 (RTU over TCP)");
    EXPECT_EQ(ScanTargetText(line), "/dev/ttyUSB0 (19200 8E1)");
    EXPECT_EQ(ScanOpenFailureText(tcp, ConnectRefused), ConnectFailureText(ConnectRefused));
    EXPECT_EQ(ScanOpenFailureText(line, ConnectBusy), "/dev/ttyUSB0 is busy: another program has it open.");

    // Over TCP a converter keeps the line's timing; a serial line is timed here.
    const ScanLink overTcp = ScanLinkFor(converter, {});
    EXPECT_EQ(overTcp.timeoutMs, kDefaultProbeTimeoutMs);
    EXPECT_EQ(overTcp.gapMs, kDefaultScanGapMs);
    EXPECT_EQ(overTcp.timing.silenceMicros, 0u);
    const ScanLink serial = ScanLinkFor(line, {500, 0});
    EXPECT_EQ(serial.timeoutMs, 500u);
    EXPECT_GT(serial.timing.silenceMicros, 0u);
    EXPECT_EQ(GapLeftMs(serial), 0u);  // nothing sent yet

    EXPECT_EQ(LowestScanUnit(TransportModbusTcp), 0);
    EXPECT_EQ(HighestScanUnit(TransportModbusTcp), 255);
    EXPECT_EQ(LowestScanUnit(TransportRtuSerial), 1);
    EXPECT_EQ(HighestScanUnit(TransportRtuOverTcp), 247);
}
