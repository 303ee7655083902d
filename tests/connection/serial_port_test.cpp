// The serial port over a socat pseudo-terminal pair: opened raw and held
// exclusively, its failures told apart, its bytes through the transport
// calls, and the far end going away seen as a lost link.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "connection/connect_attempt.h"
#include "connection/serial_port.h"
#include "connection/transport.h"
#include "tests/support/socat.h"

namespace {

// A pseudo-terminal takes no parity setting.
SerialSettings Line(const std::string& port)
{
    return {port, 19200, ParityNone, 1};
}

// Reads what arrives within timeoutMs, up to want bytes.
std::vector<uint8_t> ReadFor(Connection* connection, size_t want, int timeoutMs = 2000)
{
    std::vector<uint8_t> got;
    uint8_t buffer[64];
    for (int waited = 0; got.size() < want && waited < timeoutMs; waited++) {
        const int n = ReceiveWaiting(connection, buffer, sizeof buffer);
        if (n < 0)
            break;
        if (n > 0)
            got.insert(got.end(), buffer, buffer + n);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return got;
}

}  // namespace

TEST(SerialPort, OpensExclusivelyAndCarriesBytesBothWays)
{
    SKIP_WITHOUT_SOCAT();
    PtyPair pair;
    ASSERT_TRUE(pair.Ready());

    ConnectFailure failure = ConnectFailed;
    Connection* a = OpenSerialPort(Line(pair.A()), &failure);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(failure, ConnectOk);
    EXPECT_EQ(a->kind, ConnectionSerialPort);

    // Nobody else gets the port while it is held, this process included.
    EXPECT_EQ(OpenSerialPort(Line(pair.A()), &failure), nullptr);
    EXPECT_EQ(failure, ConnectBusy);

    Connection* b = OpenSerialPort(Line(pair.B()), &failure);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a->serial, b->serial);
    uint8_t buffer[8];
    EXPECT_EQ(ReceiveWaiting(a, buffer, sizeof buffer), 0);  // nothing waiting: no block, no loss
    EXPECT_EQ(CheckForData(a), NoData);
    const std::vector<uint8_t> frame = {1, 3, 0, 0, 0, 10, 0xC5, 0xCD};
    EXPECT_EQ(SendData(b, frame.data(), 8), 8);
    EXPECT_EQ(ReadFor(a, 8), frame);

    // Closed, it can be opened again.
    CloseConnection(a);
    a = OpenSerialPort(Line(pair.A()), &failure);
    EXPECT_NE(a, nullptr);
    CloseConnection(a);
    CloseConnection(b);
}

TEST(SerialPort, SaysWhyItCannotOpen)
{
    ConnectFailure failure = ConnectOk;
    EXPECT_EQ(OpenSerialPort(Line("/dev/ttyUSB-sorbel-none"), &failure), nullptr);
    EXPECT_EQ(failure, ConnectNoDevice);
    EXPECT_EQ(OpenSerialPort(Line(""), &failure), nullptr);
    EXPECT_EQ(failure, ConnectNoDevice);
    EXPECT_EQ(OpenSerialPort(Line("/dev/null"), &failure), nullptr);  // a character device, not a terminal
    EXPECT_EQ(failure, ConnectNotSerial);
    EXPECT_EQ(OpenSerialPort(Line("/tmp"), &failure), nullptr);
    EXPECT_EQ(failure, ConnectNotSerial);
    SerialSettings odd = Line("/dev/null");
    odd.baud = 12345;
    EXPECT_EQ(OpenSerialPort(odd, &failure), nullptr);
    EXPECT_EQ(failure, ConnectFailed);

    EXPECT_EQ(SerialOpenFailureText(ConnectNoDevice, "/dev/ttyUSB0"),
              "There is no serial device /dev/ttyUSB0 (Is the adapter plugged in ?).");
    EXPECT_EQ(SerialOpenFailureText(ConnectBusy, "/dev/ttyUSB0"), "/dev/ttyUSB0 is busy: another program has it open.");
    // The group that gives access: dialout when the device's own is unknown.
    EXPECT_NE(SerialOpenFailureText(ConnectPermission, "/dev/ttyUSB-sorbel-none").find("group dialout"),
              std::string::npos);
    EXPECT_STREQ(ConnectFailureText(ConnectBusy), "busy: another program has it open");

    // The same through a connect attempt on a thread of its own.
    ConnectAttempt* attempt = StartSerialAttempt(Line("/dev/ttyUSB-sorbel-none"), nullptr);
    ASSERT_NE(attempt, nullptr);
    for (int i = 0; i < 5000 && !ConnectAttemptDone(attempt); i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(FinishConnectAttempt(attempt, &failure), nullptr);
    EXPECT_EQ(failure, ConnectNoDevice);
}

TEST(SerialPort, TheFarEndGoingAwayIsALostLink)
{
    SKIP_WITHOUT_SOCAT();
    PtyPair pair;
    ASSERT_TRUE(pair.Ready());
    Connection* a = OpenSerialPort(Line(pair.A()), nullptr);
    ASSERT_NE(a, nullptr);
    pair.Stop();
    uint8_t buffer[8];
    int n = 0;
    for (int i = 0; i < 2000 && (n = ReceiveWaiting(a, buffer, sizeof buffer)) == 0; i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(n == -1 || n == kReceiveClosed) << n;
    CloseConnection(a);
}

TEST(SerialPort, ListsTheDevicesThatExist)
{
    char pattern[] = "/tmp/sorbel-dev-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string dev = std::string(pattern) + "/dev", sys = std::string(pattern) + "/sys";
    mkdir(dev.c_str(), 0700);
    mkdir(sys.c_str(), 0700);
    const std::vector<std::string> names = {"ttyS10",  "ttyS2", "ttyS3", "ttyACM0", "ttyUSB1",
                                            "ttyUSB0", "tty1",  "ttyS",  "ttySx",   "null"};
    for (const std::string& name : names)
        close(open((dev + "/" + name).c_str(), O_CREAT | O_WRONLY, 0600));
    // ttyS3 has no UART behind it.
    for (const auto& [name, type] : {std::pair{"ttyS2", "4\n"}, std::pair{"ttyS3", "0\n"}}) {
        mkdir((sys + "/" + name).c_str(), 0700);
        const int fd = open((sys + "/" + name + "/type").c_str(), O_CREAT | O_WRONLY, 0600);
        EXPECT_EQ(write(fd, type, 2), 2);
        close(fd);
    }

    EXPECT_EQ(ListSerialPorts(dev, sys), (std::vector<std::string>{dev + "/ttyUSB0", dev + "/ttyUSB1", dev + "/ttyACM0",
                                                                   dev + "/ttyS2", dev + "/ttyS10"}));
    EXPECT_TRUE(ListSerialPorts(dev + "/none", sys).empty());
    std::filesystem::remove_all(pattern);
}
