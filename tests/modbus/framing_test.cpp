// The two framings: a request on the wire, the CRC, the length a reply
// frame needs, how collected bytes are taken (a frame, more, dropped,
// until the line falls silent), and the serial line's timing.
#include <gtest/gtest.h>

#include <vector>

#include "modbus/frames.h"
#include "modbus/framing.h"
#include "modbus/transaction.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Framed(Bytes bytes)
{
    const uint16_t crc = RtuCrc(bytes.data(), static_cast<int>(bytes.size()));
    bytes.push_back(static_cast<uint8_t>(crc & 0xFF));
    bytes.push_back(static_cast<uint8_t>(crc >> 8));
    return bytes;
}

int Length(const Bytes& bytes)
{
    return static_cast<int>(bytes.size());
}

FrameView View(const Framing& framing, const Bytes& frame)
{
    FrameView view;
    EXPECT_TRUE(ViewFrame(framing, frame.data(), Length(frame), &view));
    return view;
}

Bytes With(Bytes bytes, size_t at, uint8_t value)
{
    bytes[at] = value;
    return bytes;
}

// Read 3 holding registers at 1, unit 1, transaction 4, and its reply.
const Bytes kTcpRead = {0, 4, 0, 0, 0, 6, 1, 3, 0, 1, 0, 3};
const Bytes kTcpReply = {0, 4, 0, 0, 0, 9, 1, 3, 6, 0, 1, 0, 2, 0, 3};
const Bytes kRtuRead = Framed({1, 3, 0, 1, 0, 3});
const Bytes kRtuReply = Framed({1, 3, 6, 0, 1, 0, 2, 0, 3});

}  // namespace

TEST(Framing, RequestsOnTheWireAndTheirCrc)
{
    EXPECT_EQ(Framed({1, 3, 0, 0, 0, 10}), (Bytes{1, 3, 0, 0, 0, 10, 0xC5, 0xCD}));
    EXPECT_EQ(Framed({0x11, 3, 0, 0x6B, 0, 3}), (Bytes{0x11, 3, 0, 0x6B, 0, 3, 0x76, 0x87}));
    Bytes broken = kRtuReply;
    broken[10] ^= 1;
    EXPECT_FALSE(RtuCrcValid(broken.data(), Length(broken)));

    // Modbus/TCP: the request with its id; RTU: less its first six bytes,
    // plus the CRC, whatever the id.
    uint8_t tcp[kRequestLength], wire[kMaxFrameLength];
    BuildWriteRequest(tcp, 1, kFunctionWriteRegister, 10, 1234, false);
    ASSERT_EQ(FrameRequest(kModbusTcpFraming, tcp, kRequestLength, 0x0102, wire), kRequestLength);
    EXPECT_EQ(Bytes(wire, wire + kRequestLength), (Bytes{1, 2, 0, 0, 0, 6, 1, 6, 0, 10, 4, 210}));
    ASSERT_EQ(FrameRequest(kRtuFraming, tcp, kRequestLength, 0x0102, wire), 8);
    EXPECT_EQ(Bytes(wire, wire + 8), Framed({1, 6, 0, 10, 4, 210}));
    EXPECT_EQ(FrameRequest(kRtuFraming, tcp, 7, 1, wire), 0);
    EXPECT_EQ(FrameRequest(kModbusTcpFraming, tcp, kMaxFrameLength + 1, 1, wire), 0);

    // Both views: the envelope's ids and the PDU.
    const FrameView tcpView = View(kModbusTcpFraming, kTcpReply);
    EXPECT_EQ(tcpView.transactionId, 4);
    EXPECT_EQ(tcpView.unit, 1);
    EXPECT_EQ(Bytes(tcpView.pdu, tcpView.pdu + tcpView.pduLength), (Bytes{3, 6, 0, 1, 0, 2, 0, 3}));
    const FrameView rtuView = View(kRtuFraming, kRtuReply);
    EXPECT_EQ(rtuView.unit, 1);
    EXPECT_EQ(Bytes(rtuView.pdu, rtuView.pdu + rtuView.pduLength), Bytes(tcpView.pdu, tcpView.pdu + 8));
    FrameView none;
    EXPECT_FALSE(ViewFrame(kRtuFraming, kRtuReply.data(), 2, &none));

    // The longest reply: a read's for its quantity, a whole PDU for an
    // identification, an echo for a write.
    EXPECT_EQ(LongestReplyFrame(kRtuFraming, View(kRtuFraming, kRtuRead)), 11);
    EXPECT_EQ(LongestReplyFrame(kRtuFraming, View(kRtuFraming, Framed({1, 43, 14, 1, 0}))), 256);
    EXPECT_EQ(LongestReplyFrame(kRtuFraming, View(kRtuFraming, Framed({1, 3, 0, 0, 0x7D, 0}))), 260);
    EXPECT_EQ(LongestReplyFrame(kModbusTcpFraming, View(kModbusTcpFraming, With(kTcpRead, 7, 6))), 12);
}

TEST(Framing, HowLongAReplyFrameIs)
{
    const struct {
        const char* what;
        const Framing& framing;
        Bytes bytes;
        int length;  // 0: more needed to tell; -1: cannot tell
    } cases[] = {
        {"MBAP header not yet whole", kModbusTcpFraming, {0, 4, 0, 0, 0, 9}, 0},
        {"MBAP length field", kModbusTcpFraming, {0, 4, 0, 0, 0, 9, 1}, 15},
        {"length field 1", kModbusTcpFraming, {0, 4, 0, 0, 0, 1, 1}, -1},
        {"length field 265", kModbusTcpFraming, {0, 4, 0, 0, 1, 9, 1}, -1},
        {"unit id alone", kRtuFraming, {1}, 0},
        {"read: the byte count tells", kRtuFraming, {1, 3}, 0},
        {"read with its byte count", kRtuFraming, {1, 3, 6}, 11},
        {"exception", kRtuFraming, {1, 0x90}, 5},
        {"write", kRtuFraming, {1, 15}, 8},
        {"function 17 tells nothing", kRtuFraming, {1, 17}, -1},
        {"identification before its list", kRtuFraming, {1, 43, 14, 1, 0x81, 0, 0}, 0},
        {"identification of no objects", kRtuFraming, {1, 43, 14, 1, 0x81, 0, 0, 0}, 10},
        {"another MEI type", kRtuFraming, {1, 43, 13}, -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FrameLength(c.framing, c.bytes.data(), Length(c.bytes)), c.length) << c.what;
}

TEST(Framing, CollectingTheBytesOfAReply)
{
    const FrameView tcp = View(kModbusTcpFraming, kTcpRead);
    const FrameView rtu = View(kRtuFraming, kRtuRead);
    // A late reply, garbage that starts no frame, and a broken header with
    // the request's own id.
    const Bytes late = With(kTcpReply, 1, 3);
    const Bytes garbage = {9, 9, 9, 0, 0, 0, 0x7F, 0, 4, 0};
    const Bytes broken = {0, 4, 0, 0, 0x40, 0, 1, 3};
    const struct {
        const char* what;
        const Framing& framing;
        const FrameView& request;
        Bytes bytes;
        int have;
        CollectStep step;
        int upTo;
    } cases[] = {
        {"the header first", kModbusTcpFraming, tcp, kTcpReply, 3, CollectMore, 7},
        {"then the length field's count", kModbusTcpFraming, tcp, kTcpReply, 7, CollectMore, 15},
        {"and no further", kModbusTcpFraming, tcp, kTcpReply, 15, CollectFrame, 15},
        {"another transaction's reply", kModbusTcpFraming, tcp, late, 15, CollectSkip, 15},
        {"our broken reply", kModbusTcpFraming, tcp, broken, 8, CollectFrame, 8},
        {"garbage, up to where ours could begin", kModbusTcpFraming, tcp, garbage, 10, CollectSkip, 7},
        {"garbage with no such place", kModbusTcpFraming, tcp, garbage, 7, CollectSkip, 7},
        {"unit id and function first", kRtuFraming, rtu, kRtuReply, 0, CollectMore, 2},
        {"then the byte count", kRtuFraming, rtu, kRtuReply, 2, CollectMore, 3},
        {"then the frame", kRtuFraming, rtu, kRtuReply, 3, CollectMore, 11},
        {"whole", kRtuFraming, rtu, kRtuReply, 11, CollectFrame, 11},
        {"a function that tells no length", kRtuFraming, rtu, Framed({1, 17, 0}), 5, CollectUntilQuiet,
         kMaxFrameLength},
    };
    for (const auto& c : cases) {
        const CollectDecision d = NextCollectStep(c.framing, c.request, c.bytes.data(), c.have);
        EXPECT_EQ(d.step, c.step) << c.what;
        EXPECT_EQ(d.bytes, c.upTo) << c.what;
    }
    EXPECT_TRUE(OfAnotherTransaction(kModbusTcpFraming, tcp, late.data(), 2));
    EXPECT_FALSE(OfAnotherTransaction(kModbusTcpFraming, tcp, late.data(), 1));
    EXPECT_FALSE(OfAnotherTransaction(kRtuFraming, rtu, Framed({9, 9}).data(), 4));
}

TEST(Framing, TheSerialLinesTiming)
{
    // 3.5 characters of 11 bits at 9600 baud, 10 without parity; still
    // 3.5 characters at 19200; the fixed 1.75 ms only above it.
    EXPECT_EQ(SerialLineTiming({"", 9600, ParityEven, 1}).silenceMicros, 4011u);
    EXPECT_EQ(SerialLineTiming({"", 9600, ParityNone, 1}).silenceMicros, 3646u);
    EXPECT_EQ(SerialLineTiming({"", 19200, ParityEven, 1}).silenceMicros, 2006u);
    EXPECT_EQ(SerialLineTiming({"", 38400, ParityEven, 1}).silenceMicros, 1750u);
    EXPECT_EQ(SerialLineTiming({"", 9600, ParityEven, 2}).characterMicros, 1250u);
}
