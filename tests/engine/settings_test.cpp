// The settings file applied to the controls and written from them.
#include <gtest/gtest.h>

#include <QComboBox>

#include <sys/resource.h>
#include <unistd.h>

#include <csignal>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "engine/settings.h"
#include "tests/ui/test_window.h"
#include "ui/control_ids.h"

namespace {

// Each test runs in an empty working directory of its own, with a new window.
class Settings : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestWindow();
        previous = std::filesystem::current_path();
        dir =
            std::filesystem::temp_directory_path() / ("sorbel-settings-" + std::to_string(getpid()) + "-" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
        std::filesystem::current_path(dir);
    }
    void TearDown() override
    {
        std::filesystem::current_path(previous);
        std::filesystem::remove_all(dir);
    }
    static void WriteConf(const std::string& bytes) { std::ofstream("vidideze.conf", std::ios::binary) << bytes; }
    static std::string ReadConf()
    {
        std::ifstream in("vidideze.conf", std::ios::binary);
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    }
    // The values of the eleven controls, in the order of the file.
    static std::string Controls()
    {
        return GetControlText(IdHostField) + "|" + GetControlText(IdPortField) + "|" +
               std::to_string(GetCheckState(IdOffsetCheck)) + "|" + GetControlText(IdUnitField) + "|" +
               GetControlText(IdStartField) + "|" + GetControlText(IdLengthField) + "|" + GetControlText(IdScanField) +
               "|" + std::to_string(GetSelectorIndex(IdSelectorDI)) + "|" +
               std::to_string(GetSelectorIndex(IdSelectorCO)) + "|" + std::to_string(GetSelectorIndex(IdSelectorIR)) +
               "|" + std::to_string(GetSelectorIndex(IdSelectorHR));
    }
    std::filesystem::path previous, dir;
};

const std::string kInitial = "127.0.0.1|502|0|1|1|100|1000|0|0|0|0";

}  // namespace

TEST_F(Settings, NoFileDirectoryOrEmptyFileLeaveTheInitialValues)
{
    LoadSettings();
    EXPECT_EQ(Controls(), kInitial);

    WriteConf("");
    LoadSettings();
    EXPECT_EQ(Controls(), kInitial);

    std::filesystem::remove("vidideze.conf");
    std::filesystem::create_directory("vidideze.conf");
    LoadSettings();
    EXPECT_EQ(Controls(), kInitial);
    // Saving over a directory fails silently.
    SaveSettings();
    EXPECT_TRUE(std::filesystem::is_directory("vidideze.conf"));
}

TEST_F(Settings, HeaderOnlyFileGivesEveryKeyItsDefault)
{
    WriteConf("[Global]\r\n");
    LoadSettings();
    EXPECT_EQ(Controls(), "127.0.01|502|0|1|1|1|1000|0|0|0|0");
}

TEST_F(Settings, AFileWithoutTheGroupAlsoGivesDefaults)
{
    WriteConf("Port = 503\n[Other]\nPort = 504\n");
    LoadSettings();
    EXPECT_EQ(GetControlText(IdPortField), "502");
    EXPECT_EQ(GetControlText(IdHostField), "127.0.01");
}

TEST_F(Settings, ValuesReachTheirControls)
{
    WriteConf("[Global]\nIP_URL = plc;7=x  \nport=503\nCHB_MBS = 5\nModbusID = 17\nStartAddress = -4\n"
              "RequestSize = 007\nScanRate = $10\nIdxCboDI = 1\nIdxCboCO = 1\nIdxCboIR = 7\nIdxCboHR = 3\n");
    LoadSettings();
    // A start address of -4 and a scan rate of 0 ("$" is no prefix here)
    // are outside their fields' ranges: the fields keep their own.
    EXPECT_EQ(Controls(), "plc;7=x|503|1|17|1|7|1000|1|1|-1|3");
    EXPECT_EQ(Control<QComboBox>(IdSelectorIR)->currentText(), "");
}

TEST_F(Settings, ANumberOutsideItsFieldsRangeIsRefusedAndTheFieldKeepsItsValue)
{
    // Each key at both ends of its field's range and one past each; a
    // refused value leaves the field as it was built.
    const struct {
        const char* key;
        int field;
        const char* kept;
        const char* lowest;
        const char* highest;
        const char* below;
        const char* above;
    } kKeys[] = {
        {"Port", IdPortField, "502", "0", "65535", "-1", "65536"},
        {"ModbusID", IdUnitField, "1", "0", "255", "-1", "256"},
        {"StartAddress", IdStartField, "1", "0", "65535", "-1", "65536"},
        {"RequestSize", IdLengthField, "100", "0", "65535", "-1", "65536"},
        {"ScanRate", IdScanField, "1000", "10", "3600000", "9", "3600001"},
    };
    for (const auto& k : kKeys) {
        for (const char* value : {k.lowest, k.highest, k.below, k.above}) {
            TestWindow();
            WriteConf(std::string("[Global]\n") + k.key + " = " + value + "\n");
            LoadSettings();
            const bool inRange = value == k.lowest || value == k.highest;
            EXPECT_EQ(GetControlText(k.field), inRange ? value : k.kept) << k.key << " = " << value;
        }
    }
}

TEST_F(Settings, SaveWritesTheControlsExactly)
{
    SaveSettings();
    EXPECT_EQ(ReadConf(), "[Global]\r\nIP_URL = 127.0.0.1\r\nPort = 502\r\nCHB_MBS = 0\r\nModbusID = 1\r\n"
                          "StartAddress = 1\r\nRequestSize = 100\r\nScanRate = 1000\r\nIdxCboDI = 0\r\n"
                          "IdxCboCO = 0\r\nIdxCboIR = 0\r\nIdxCboHR = 0\r\n");

    // Numbers go through the fields' rule; the host text is kept as typed.
    SetControlText(IdHostField, " plc.local ");
    SetControlText(IdPortField, "$1F6");
    SetControlText(IdLengthField, "007");
    SetControlText(IdScanField, "%101");
    SetControlText(IdUnitField, "-3x");
    SaveSettings();
    const std::string text = ReadConf();
    EXPECT_NE(text.find("\r\nIP_URL =  plc.local \r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nPort = 502\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nRequestSize = 7\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nScanRate = 5\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nModbusID = -3\r\n"), std::string::npos);
}

TEST_F(Settings, ASaveThatFailsMidWayKeepsTheOldFileByteForByte)
{
    const std::string old = "[Global]\r\nIP_URL = plc-7\r\n; kept\r\n";
    WriteConf(old);
    SetControlText(IdHostField, "other");
    // A file-size limit below the new text makes the write fail part way,
    // as a full disk would (and it binds root too, unlike permissions).
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 64;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    SaveSettings();
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(ReadConf(), old);
    // Nothing is left beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);
    SaveSettings();
    EXPECT_EQ(ReadConf().rfind("[Global]\r\nIP_URL = other\r\n", 0), 0u);
}

TEST_F(Settings, OddValuesAreNormalisedByTheNextSave)
{
    WriteConf("[Global]\r\nCHB_MBS = 5\r\nIdxCboIR = 7\r\n; a comment\r\n[Second]\r\nKey = 1\r\n");
    LoadSettings();
    EXPECT_EQ(GetCheckState(IdOffsetCheck), 1);
    EXPECT_EQ(GetSelectorIndex(IdSelectorIR), -1);
    SaveSettings();
    const std::string text = ReadConf();
    EXPECT_NE(text.find("\r\nCHB_MBS = 1\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nIdxCboIR = -1\r\n"), std::string::npos);
    EXPECT_EQ(text.find("comment"), std::string::npos);
    EXPECT_EQ(text.find("Second"), std::string::npos);
}

TEST_F(Settings, ByteOrderMarkIsReadAndNotWrittenBack)
{
    WriteConf("\xEF\xBB\xBF[Global]\r\nIP_URL = h\xC3\xB6st\r\nPort = 1502\r\n");
    LoadSettings();
    EXPECT_EQ(GetControlText(IdHostField), "h\xC3\xB6st");
    EXPECT_EQ(GetControlText(IdPortField), "1502");
    SaveSettings();
    EXPECT_EQ(ReadConf().rfind("[Global]\r\nIP_URL = h", 0), 0u);
}

TEST_F(Settings, SavedFileReadsBackToTheSameControls)
{
    SetControlText(IdHostField, "192.168.1.20");
    SetControlText(IdPortField, "1502");
    SetCheckState(IdOffsetCheck, 1);
    SetControlText(IdStartField, "40001");
    SetSelectorIndex(IdSelectorCO, 1);
    SetSelectorIndex(IdSelectorHR, 2);
    const std::string before = Controls();
    SaveSettings();

    TestWindow();  // a new start
    LoadSettings();
    EXPECT_EQ(Controls(), before);
}

namespace {

// The transport and the serial line as the Communications page shows them.
std::string SerialControls()
{
    return std::to_string(GetSelectorIndex(IdTransportSelector)) + "|" + GetControlText(IdSerialPortField) + "|" +
           GetControlText(IdBaudSelector) + "|" + GetControlText(IdParitySelector) + "|" +
           GetControlText(IdStopBitsSelector);
}

}  // namespace

TEST_F(Settings, TransportAndSerialLineRoundTripAndOnlyTheirFieldsAreEnabled)
{
    EXPECT_EQ(SerialControls(), "0||19200|Even|1");
    SetSelectorIndex(IdTransportSelector, 2);
    SetControlText(IdSerialPortField, "/dev/serial/by-id/usb-FTDI_RS485-if00");
    SetSelectorIndex(IdBaudSelector, 3);
    SetSelectorIndex(IdParitySelector, 2);
    SetSelectorIndex(IdStopBitsSelector, 1);
    SaveSettings();
    const std::string text = ReadConf();
    EXPECT_NE(text.find("\r\nIdxCboHR = 0\r\nTransport = 2\r\nSerialPort = /dev/serial/by-id/usb-FTDI_RS485-if00\r\n"
                        "Baud = 9600\r\nParity = O\r\nStopBits = 2\r\n"),
              std::string::npos)
        << text;

    TestWindow();
    EXPECT_FALSE(IsControlEnabled(IdSerialPortField));
    LoadSettings();
    EXPECT_EQ(SerialControls(), "2|/dev/serial/by-id/usb-FTDI_RS485-if00|9600|Odd|2");
    // A serial transport uses the serial fields, not the host, the port or
    // the server command.
    for (int id : {IdSerialPortField, IdBaudSelector, IdParitySelector, IdStopBitsSelector, IdUnitField})
        EXPECT_TRUE(IsControlEnabled(id)) << id;
    for (int id : {IdHostField, IdPortField, IdCommandField, IdSendCommand})
        EXPECT_FALSE(IsControlEnabled(id)) << id;

    // Invalid values are refused one by one: each control keeps its value.
    TestWindow();
    WriteConf("[Global]\nTransport = 3\nSerialPort = /dev/ttyACM0\nBaud = 14400\nParity = M\nStopBits = 0\n");
    LoadSettings();
    EXPECT_EQ(SerialControls(), "0|/dev/ttyACM0|19200|Even|1");
    EXPECT_TRUE(IsControlEnabled(IdHostField));
    EXPECT_FALSE(IsControlEnabled(IdBaudSelector));
}

TEST_F(Settings, AModbusTcpUsersFileHasNoSerialKeys)
{
    // A Modbus/TCP file as it always was, read and written back unchanged.
    const std::string file = "[Global]\r\nIP_URL = 10.0.0.7\r\nPort = 502\r\nCHB_MBS = 1\r\nModbusID = 3\r\n"
                             "StartAddress = 40\r\nRequestSize = 10\r\nScanRate = 250\r\nIdxCboDI = 1\r\n"
                             "IdxCboCO = 0\r\nIdxCboIR = 2\r\nIdxCboHR = 3\r\n";
    WriteConf(file);
    LoadSettings();
    SaveSettings();
    EXPECT_EQ(ReadConf(), file);

    // Trying RTU over TCP and going back leaves it so as well.
    SetSelectorIndex(IdTransportSelector, 1);
    SaveSettings();
    EXPECT_NE(ReadConf().find("\r\nTransport = 1\r\n"), std::string::npos);
    SetSelectorIndex(IdTransportSelector, 0);
    SaveSettings();
    EXPECT_EQ(ReadConf(), file);
}
