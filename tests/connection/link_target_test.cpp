#include <gtest/gtest.h>

#include "connection/link_target.h"

TEST(LinkTarget, OnlyTheFieldsTheTransportUsesTellTargetsApart)
{
    const LinkTarget tcp = MakeLinkTarget(TransportModbusTcp, "10.0.0.5", 502, "/dev/ttyUSB0", 1);
    EXPECT_EQ(LinkTargetText(tcp), "10.0.0.5:502 unit 1");
    // The port and unit as they go out: their low 16 and 8 bits.
    EXPECT_EQ(MakeLinkTarget(TransportModbusTcp, "10.0.0.5", 502 + 65536, "", 257), tcp);
    // A serial port left in its field does not matter over TCP, nor a host
    // on a serial port.
    EXPECT_EQ(MakeLinkTarget(TransportModbusTcp, "10.0.0.5", 502, "", 1), tcp);
    EXPECT_EQ(MakeLinkTarget(TransportRtuSerial, "a", 1, "/dev/ttyUSB0", 1),
              MakeLinkTarget(TransportRtuSerial, "b", 2, "/dev/ttyUSB0", 1));

    struct Case {
        LinkTarget target;
        const char* text;
    };
    const Case others[] = {
        {MakeLinkTarget(TransportModbusTcp, "10.0.0.5", 503, "", 1), "10.0.0.5:503 unit 1"},
        {MakeLinkTarget(TransportModbusTcp, "10.0.0.6", 502, "", 1), "10.0.0.6:502 unit 1"},
        {MakeLinkTarget(TransportModbusTcp, "10.0.0.5", 502, "", 2), "10.0.0.5:502 unit 2"},
        {MakeLinkTarget(TransportRtuOverTcp, "10.0.0.5", 502, "", 1), "RTU over TCP 10.0.0.5:502 unit 1"},
        {MakeLinkTarget(TransportRtuSerial, "10.0.0.5", 502, "/dev/ttyUSB0", 1), "RTU (serial) /dev/ttyUSB0 unit 1"},
    };
    for (const Case& other : others) {
        EXPECT_NE(other.target, tcp) << other.text;
        EXPECT_EQ(LinkTargetText(other.target), other.text);
    }
}
