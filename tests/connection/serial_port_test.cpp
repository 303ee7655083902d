// The serial port over a socat pseudo-terminal pair: held exclusively, its
// failures told apart, its bytes through the transport calls, and the far
// end going away seen as a lost link.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "connection/connect_attempt.h"
#include "connection/serial_port.h"
#include "tests/support/socat.h"

namespace {

// A pseudo-terminal takes no parity setting.
SerialSettings Line(const std::string& port)
{
    return {port, 19200, ParityNone, 1};
}

// The first bytes that arrive within 2 s, or the lost link's -1 or
// kReceiveClosed.
int ReceiveWithin(Connection* connection, uint8_t* buffer, int capacity)
{
    int n = 0;
    for (int i = 0; i < 2000 && (n = ReceiveWaiting(connection, buffer, capacity)) == 0; i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return n;
}

}  // namespace

TEST(SerialPort, HeldExclusivelyCarriesBytesAndLosesItsLink)
{
    SKIP_WITHOUT_SOCAT();
    Socat pair("pty,raw,echo=0,link=@/a", "pty,raw,echo=0,link=@/b");
    ASSERT_TRUE(pair.WaitFor("a") && pair.WaitFor("b"));

    ConnectFailure failure = ConnectFailed;
    Connection* a = OpenSerialPort(Line(pair.Path("a")), &failure);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(failure, ConnectOk);
    // Nobody else gets it while it is held, root and this process included.
    EXPECT_EQ(OpenSerialPort(Line(pair.Path("a")), &failure), nullptr);
    EXPECT_EQ(failure, ConnectBusy);

    Connection* b = OpenSerialPort(Line(pair.Path("b")), nullptr);
    ASSERT_NE(b, nullptr);
    uint8_t buffer[16];
    EXPECT_EQ(ReceiveWaiting(a, buffer, sizeof buffer), 0);  // nothing waiting: no block, no loss
    const uint8_t frame[] = {1, 3, 0, 0, 0, 10, 0xC5, 0xCD};
    EXPECT_EQ(SendData(b, frame, 8), 8);
    EXPECT_EQ(ReceiveWithin(a, buffer, sizeof buffer), 8);
    EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + 8), std::vector<uint8_t>(frame, frame + 8));
    CloseConnection(b);

    // The other end gone, as an adapter pulled out: a lost link.
    pair.Stop();
    const int n = ReceiveWithin(a, buffer, sizeof buffer);
    EXPECT_TRUE(n == -1 || n == kReceiveClosed) << n;
    CloseConnection(a);
}

TEST(SerialPort, SaysWhyItCannotOpen)
{
    ConnectFailure failure = ConnectOk;
    EXPECT_EQ(OpenSerialPort(Line("/dev/null"), &failure), nullptr);  // a character device, not a terminal
    EXPECT_EQ(failure, ConnectNotSerial);
    EXPECT_EQ(SerialOpenFailureText(ConnectNoDevice, "/dev/ttyUSB0"),
              "There is no serial device /dev/ttyUSB0 (Is the adapter plugged in ?).");
    EXPECT_NE(SerialOpenFailureText(ConnectPermission, "/dev/ttyUSB-none").find("group dialout"), std::string::npos);

    // Through a connect attempt, on a thread of its own.
    ConnectAttempt* attempt = StartSerialAttempt(Line("/dev/ttyUSB-none"), nullptr);
    ASSERT_NE(attempt, nullptr);
    for (int i = 0; i < 5000 && !ConnectAttemptDone(attempt); i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(FinishConnectAttempt(attempt, &failure), nullptr);
    EXPECT_EQ(failure, ConnectNoDevice);
}

TEST(SerialPort, ListsTheDevicesInOrder)
{
    const std::string root = std::filesystem::temp_directory_path() / "sorbel-dev-list";
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root + "/sys/ttyS3");
    for (const char* name : {"ttyS10", "ttyS2", "ttyS3", "ttyACM0", "ttyUSB1", "ttyUSB0", "tty1", "ttySx"})
        close(open((root + "/" + name).c_str(), O_CREAT | O_WRONLY, 0600));
    const int type = open((root + "/sys/ttyS3/type").c_str(), O_CREAT | O_WRONLY, 0600);  // no UART behind it
    EXPECT_EQ(write(type, "0\n", 2), 2);
    close(type);
    EXPECT_EQ(ListSerialPorts(root, root + "/sys", root + "/by-id"),
              (std::vector<std::string>{root + "/ttyUSB0", root + "/ttyUSB1", root + "/ttyACM0", root + "/ttyS2",
                                        root + "/ttyS10"}));

    // An adapter with a name under by-id comes first, by that name and in
    // place of its device; a name whose adapter was pulled out is left out.
    const std::string byId = root + "/by-id";
    std::filesystem::create_directories(byId);
    std::filesystem::create_symlink("../ttyUSB1", byId + "/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    std::filesystem::create_symlink("../ttyUSB7", byId + "/usb-1a86_USB_Serial-if00-port0");
    const std::vector<std::string> ports = ListSerialPorts(root, root + "/sys", byId);
    EXPECT_EQ(ports,
              (std::vector<std::string>{byId + "/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", root + "/ttyUSB0",
                                        root + "/ttyACM0", root + "/ttyS2", root + "/ttyS10"}));
    // Offered: a port with a device plugged in, never a built-in ttyS,
    // which opens whether or not anything is wired to it.
    EXPECT_EQ(SerialPortToOffer(ports), ports[0]);
    EXPECT_EQ(SerialPortToOffer({root + "/ttyACM0", root + "/ttyS2"}), root + "/ttyACM0");
    EXPECT_EQ(SerialPortToOffer({root + "/ttyS0", root + "/ttyS2"}), "");
    std::filesystem::remove_all(root);
}
