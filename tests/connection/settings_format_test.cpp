#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string>

#include "connection/settings_format.h"

namespace {

bool SameValues(const SettingsValues& a, const SettingsValues& b)
{
    return a.IP_URL == b.IP_URL && a.Port == b.Port && a.CHB_MBS == b.CHB_MBS && a.ModbusID == b.ModbusID &&
           a.StartAddress == b.StartAddress && a.RequestSize == b.RequestSize && a.ScanRate == b.ScanRate &&
           a.IdxCboDI == b.IdxCboDI && a.IdxCboCO == b.IdxCboCO && a.IdxCboIR == b.IdxCboIR && a.IdxCboHR == b.IdxCboHR;
}

bool HasDefaults(const SettingsValues& values)
{
    return SameValues(values, SettingsValues{});
}

int32_t PortOf(const std::string& text)
{
    return ReadSettingsText(text).Port;
}

}  // namespace

TEST(SettingsFormat, WriterProducesTwelveCrLfLines)
{
    SettingsValues values;
    values.IP_URL = "127.0.0.1";
    values.RequestSize = 100;
    values.IdxCboHR = -1;
    EXPECT_EQ(WriteSettingsText(values), "[Global]\r\n"
                                         "IP_URL = 127.0.0.1\r\n"
                                         "Port = 502\r\n"
                                         "CHB_MBS = 0\r\n"
                                         "ModbusID = 1\r\n"
                                         "StartAddress = 1\r\n"
                                         "RequestSize = 100\r\n"
                                         "ScanRate = 1000\r\n"
                                         "IdxCboDI = 0\r\n"
                                         "IdxCboCO = 0\r\n"
                                         "IdxCboIR = 0\r\n"
                                         "IdxCboHR = -1\r\n");
}

TEST(SettingsFormat, RoundTrip)
{
    SettingsValues values{"plc-7.example; rack=2", -1, 1, 300, 0, INT_MAX, INT_MIN, 1, 1, 3, 7};
    EXPECT_TRUE(SameValues(ReadSettingsText(WriteSettingsText(values)), values));

    // Blanks around the host text do not survive; inner ones do.
    values.IP_URL = " \t10.0.0.5  x \t";
    EXPECT_EQ(ReadSettingsText(WriteSettingsText(values)).IP_URL, "10.0.0.5  x");
    values.IP_URL = "";
    EXPECT_EQ(ReadSettingsText(WriteSettingsText(values)).IP_URL, "");
}

TEST(SettingsFormat, LineBreaksInTheHostCannotAddEntries)
{
    SettingsValues values;
    values.IP_URL = "10.0.0.5\r\nPort = 1\n[Other]\r";
    values.Port = 1502;
    std::string text = WriteSettingsText(values);
    SettingsValues back = ReadSettingsText(text);
    EXPECT_EQ(back.Port, 1502);
    EXPECT_EQ(back.IP_URL, "10.0.0.5Port = 1[Other]");
    EXPECT_EQ(text.find('\n'), text.find("\r\n") + 1);
}

TEST(SettingsFormat, MissingGroupOrKeysGiveDefaults)
{
    for (const char* text : {"", "[Global]", "[Global]\r\n", "\xEF\xBB\xBF", "Port = 7\r\n", "[Other]\r\nPort = 7",
                             "[ Global ]\r\nPort = 7", "; [Global]\nPort = 7"})
        EXPECT_TRUE(HasDefaults(ReadSettingsText(text))) << '"' << text << '"';
    SettingsValues defaults = ReadSettingsText("[Global]");
    EXPECT_EQ(defaults.IP_URL, "127.0.01");
    EXPECT_EQ(defaults.RequestSize, 1);
}

TEST(SettingsFormat, GroupHeaders)
{
    EXPECT_EQ(PortOf("[Global\nPort = 7"), 7);
    EXPECT_EQ(PortOf("[gLOBAL]\nPort = 7"), 7);
    EXPECT_EQ(PortOf("  \t[Global] trailing words\nPort = 7"), 7);
    EXPECT_EQ(PortOf("[Global]]\nPort = 7"), 7);
    EXPECT_EQ(PortOf("[Global ]\nPort = 7"), 502);
    // Only the first Global group is seen, up to the next header.
    EXPECT_EQ(PortOf("Port = 1\n[Other]\nPort = 2\n[Global]\nScanRate = 5\n[Next]\nPort = 3\n[Global]\nPort = 4"), 502);
    EXPECT_EQ(PortOf("[Other]\nPort = 2\n[Global]\nPort = 7\n[Global]\nPort = 4"), 7);
}

TEST(SettingsFormat, EntryLines)
{
    EXPECT_EQ(PortOf("[Global]\nport=503"), 503);
    EXPECT_EQ(PortOf("[Global]\n \tPORT \t=\t 503 \t"), 503);
    EXPECT_EQ(PortOf("[Global]\nPort = 7\nPort = 8"), 7);
    EXPECT_EQ(PortOf("[Global]\n; Port = 7\nPort = 8"), 8);
    EXPECT_EQ(PortOf("[Global]\nPort\nPort = 8"), 0);
    EXPECT_EQ(PortOf("[Global]\nPo rt = 7"), 502);
    EXPECT_EQ(ReadSettingsText("[Global]\nIP_URL = a;b = c ; d  \t").IP_URL, "a;b = c ; d");
    EXPECT_EQ(ReadSettingsText("[Global]\nIP_URL =").IP_URL, "");
    EXPECT_EQ(ReadSettingsText("[Global]\nIP_URL").IP_URL, "");
    EXPECT_EQ(ReadSettingsText("[Global]\nip_url = x\nIP_URL = y").IP_URL, "x");
}

TEST(SettingsFormat, IntegersFollowAtoi)
{
    EXPECT_EQ(PortOf("[Global]\nPort = abc"), 0);
    EXPECT_EQ(PortOf("[Global]\nPort ="), 0);
    EXPECT_EQ(PortOf("[Global]\nPort = $1F6"), 0);
    EXPECT_EQ(PortOf("[Global]\nPort = %11"), 0);
    EXPECT_EQ(PortOf("[Global]\nPort = 007"), 7);
    EXPECT_EQ(PortOf("[Global]\nPort = -12x"), -12);
    EXPECT_EQ(PortOf("[Global]\nPort = +12"), 12);
    EXPECT_EQ(PortOf("[Global]\nPort = \v\f12"), 12);
    EXPECT_EQ(PortOf("[Global]\nPort = - 12"), 0);
    EXPECT_EQ(PortOf("[Global]\nPort = 2147483647"), INT_MAX);
    EXPECT_EQ(PortOf("[Global]\nPort = 2147483648"), INT_MAX);
    EXPECT_EQ(PortOf("[Global]\nPort = -2147483648"), INT_MIN);
    EXPECT_EQ(PortOf("[Global]\nPort = -2147483649"), INT_MIN);
    EXPECT_EQ(PortOf("[Global]\nPort = 99999999999999999999999999"), INT_MAX);
    EXPECT_EQ(ReadSettingsText("[Global]\nCHB_MBS = 5").CHB_MBS, 5);
}

TEST(SettingsFormat, LineEndsAndByteOrderMark)
{
    SettingsValues values;
    values.IP_URL = "192.168.1.9";
    values.Port = 1502;
    values.IdxCboIR = 2;
    std::string crlf = WriteSettingsText(values);
    std::string lf, cr;
    for (char c : crlf) {
        if (c != '\r')
            lf += c;
        if (c != '\n')
            cr += c;
    }
    EXPECT_TRUE(SameValues(ReadSettingsText(lf), values));
    EXPECT_TRUE(SameValues(ReadSettingsText(cr), values));
    EXPECT_TRUE(SameValues(ReadSettingsText("\n\r\n\r" + crlf + "\r\r\n"), values));
    EXPECT_TRUE(SameValues(ReadSettingsText("\xEF\xBB\xBF" + crlf), values));

    // Only the mark goes; UTF-8 in a value stays as it is.
    EXPECT_EQ(ReadSettingsText("\xEF\xBB\xBF[Global]\r\nIP_URL = st\xC3\xA4tte").IP_URL, "st\xC3\xA4tte");
    // A mark that is not at the start is part of the line.
    EXPECT_EQ(PortOf("[Global]\r\n\xEF\xBB\xBFPort = 7"), 502);
}

TEST(SettingsFormat, PathIsWorkingDirectoryAndFileName)
{
    char saved[4096];
    ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
    char scratch[] = "/tmp/settings_path_XXXXXX";
    ASSERT_NE(mkdtemp(scratch), nullptr);
    char* real = realpath(scratch, nullptr);
    ASSERT_NE(real, nullptr);
    const std::string directory = real;
    free(real);

    ASSERT_EQ(chdir(scratch), 0);
    EXPECT_EQ(SettingsPath(), directory + "/vidideze.conf");
    ASSERT_EQ(chdir("/"), 0);
    EXPECT_EQ(SettingsPath(), "/vidideze.conf");

    ASSERT_EQ(chdir(saved), 0);
    rmdir(scratch);
}

TEST(SettingsFormat, ModbusTcpFileStaysByteForByte)
{
    // A file as the program has always written it reads and writes back
    // to the same bytes, with or without serial keys at their defaults.
    const std::string file = "[Global]\r\nIP_URL = 10.1.2.3\r\nPort = 1502\r\nCHB_MBS = 1\r\nModbusID = 7\r\n"
                             "StartAddress = 100\r\nRequestSize = 20\r\nScanRate = 250\r\nIdxCboDI = 1\r\n"
                             "IdxCboCO = 0\r\nIdxCboIR = 2\r\nIdxCboHR = 3\r\n";
    EXPECT_EQ(WriteSettingsText(ReadSettingsText(file)), file);
    EXPECT_EQ(WriteSettingsText(ReadSettingsText(file + "Transport = 0\r\nBaud = 19200\r\nParity = E\r\n")), file);
}

TEST(SettingsFormat, SerialKeysRoundTripAndRefuseInvalidValues)
{
    SettingsValues values;
    values.Parity = ParityOdd;  // one setting off its default writes all five
    EXPECT_NE(WriteSettingsText(values).find("IdxCboHR = 0\r\nTransport = 0\r\nSerialPort = \r\nBaud = 19200\r\n"
                                             "Parity = O\r\nStopBits = 1\r\n"),
              std::string::npos);
    values = {};
    values.Transport = TransportRtuSerial;
    values.SerialPort = "/dev/serial/by-id/usb-FTDI-port0\nTransport = 0";  // no line break survives
    values.Baud = 9600;
    values.Parity = ParityNone;
    values.StopBits = 2;
    SettingsValues back = ReadSettingsText(WriteSettingsText(values));
    EXPECT_EQ(back.Transport, TransportRtuSerial);
    EXPECT_EQ(back.SerialPort, "/dev/serial/by-id/usb-FTDI-port0Transport = 0");
    EXPECT_EQ(back.Baud, 9600);
    EXPECT_EQ(back.Parity, ParityNone);
    EXPECT_EQ(back.StopBits, 2);

    // What the window does not offer is refused; a lower-case letter is not.
    back = ReadSettingsText("[Global]\nTransport = 3\nBaud = 12345\nParity = Even\nStopBits = 0\n");
    EXPECT_TRUE(SerialKeysAreDefault(back));
    back = ReadSettingsText("[Global]\nTransport=-1\nBaud = 115200\nParity = o \nStopBits = 2\n");
    EXPECT_EQ(back.Transport, TransportModbusTcp);
    EXPECT_EQ(back.Baud, 115200);
    EXPECT_EQ(back.Parity, ParityOdd);
}

TEST(SettingsFormat, DeviceKeysWithinTheirRangesOnlyAndWrittenOnlyWhenChanged)
{
    const struct {
        const char* line;
        DeviceKey key;
        int32_t value;  // what reading it gives
    } cases[] = {
        {"Timeout = 2500", KeyTimeout, 2500},
        {"Timeout = 10", KeyTimeout, 10},
        {"Timeout = 9", KeyTimeout, 1000},  // out of range: the default stays
        {"timeout = 60001", KeyTimeout, 1000},
        {"ConnectDelay = 60000", KeyConnectDelay, 60000},
        {"ConnectDelay = -1", KeyConnectDelay, 0},
        {"RequestGap = 200", KeyRequestGap, 200},
        {"MaxRegisters = 100", KeyMaxRegisters, 100},
        {"MaxRegisters = 126", KeyMaxRegisters, 125},
        {"MaxRegisters = 0", KeyMaxRegisters, 125},
        {"MaxBits = 1", KeyMaxBits, 1},
        {"MaxBits = 2001", KeyMaxBits, 2000},
        {"MaxBits = 99999999999", KeyMaxBits, 2000},  // saturates, then refused
        {"SingleWrites = 1", KeySingleWrites, 1},
        {"SingleWrites = 2", KeySingleWrites, 0},
        {"AnyUnitId = 1x", KeyAnyUnitId, 1},
        {"CloseAfterCycle = 1", KeyCloseAfterCycle, 1},
        {"CloseAfterCycle =", KeyCloseAfterCycle, 0},
    };
    for (const auto& c : cases) {
        const SettingsValues values = ReadSettingsText(std::string("[Global]\n") + c.line);
        EXPECT_EQ(DeviceValue(values.device, c.key), c.value) << c.line;
        // Written back only when not the default, and then as read.
        const std::string text = WriteSettingsText(values);
        const std::string written = std::string(kDeviceKeys[c.key].name) + " = " + std::to_string(c.value) + "\r\n";
        EXPECT_EQ(text.find(written) != std::string::npos, c.value != kDeviceKeys[c.key].fallback) << c.line;
    }

    // Every key changed: after the others, in their order, and read back.
    SettingsValues values;
    values.device = {2500, 300, 200, 100, 1000, true, true, true};
    const std::string text = WriteSettingsText(values);
    EXPECT_NE(text.find("IdxCboHR = 0\r\nTimeout = 2500\r\nConnectDelay = 300\r\nRequestGap = 200\r\n"
                        "MaxRegisters = 100\r\nMaxBits = 1000\r\nSingleWrites = 1\r\nAnyUnitId = 1\r\n"
                        "CloseAfterCycle = 1\r\n"),
              std::string::npos);
    EXPECT_EQ(DeviceSettingsText(ReadSettingsText(text).device),
              "time-out 2500 ms, connect delay 300 ms, request gap 200 ms, at most 100 registers a read, at most 1000 "
              "bits a read, single writes by function 15 and 16, any unit id accepted, closed after each cycle");
    EXPECT_EQ(DeviceSettingsText(DeviceSettings{}), "defaults");
}
