#include "connection/serial_port.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr const char* kAccessGroup = "dialout";  // Debian's group for serial ports

speed_t SpeedOf(int32_t baud)
{
    switch (baud) {
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    default:
        return B0;
    }
}

ConnectFailure FailureOfOpen(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ENODEV:
    case ENXIO:
    case EIO:  // a ttyS without a UART
        return ConnectNoDevice;
    case EACCES:
    case EPERM:
        return ConnectPermission;
    case EBUSY:
        return ConnectBusy;
    case ENOTTY:
    case EISDIR:
        return ConnectNotSerial;
    default:
        return ConnectFailed;
    }
}

// Raw 8 data bits, the chosen parity and stop bits, no flow control of any
// kind, the modem lines ignored. A read takes what is there and never
// waits (VMIN 1 with a non-blocking descriptor: EAGAIN when empty, 0 only
// once the terminal was hung up).
bool SetLine(int fd, const SerialSettings& settings)
{
    termios line{};
    if (tcgetattr(fd, &line) != 0)
        return false;
    cfmakeraw(&line);
    line.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    line.c_cflag |= CS8 | CLOCAL | CREAD;
    if (settings.parity != ParityNone)
        line.c_cflag |= PARENB;
    if (settings.parity == ParityOdd)
        line.c_cflag |= PARODD;
    if (settings.stopBits == 2)
        line.c_cflag |= CSTOPB;
    line.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    line.c_cc[VMIN] = 1;
    line.c_cc[VTIME] = 0;
    const speed_t speed = SpeedOf(settings.baud);
    return cfsetispeed(&line, speed) == 0 && cfsetospeed(&line, speed) == 0 && tcsetattr(fd, TCSANOW, &line) == 0;
}

std::string GroupOf(const std::string& port)
{
    struct stat info {};
    if (stat(port.c_str(), &info) != 0 || info.st_gid == 0)
        return kAccessGroup;
    group entry{};
    group* found = nullptr;
    char buffer[4096];
    if (getgrgid_r(info.st_gid, &entry, buffer, sizeof buffer, &found) != 0 || found == nullptr)
        return kAccessGroup;
    return found->gr_name;
}

// ttyUSB before ttyACM before ttyS; then by number, so that ttyS2 comes
// before ttyS10.
struct SerialName {
    int family = -1;
    long number = -1;
};

SerialName ParseName(const std::string& name)
{
    static const char* const kFamilies[] = {"ttyUSB", "ttyACM", "ttyS"};
    for (int family = 0; family < 3; family++) {
        const std::string prefix = kFamilies[family];
        if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0)
            continue;
        const std::string digits = name.substr(prefix.size());
        if (digits.size() > 6 || digits.find_first_not_of("0123456789") != std::string::npos)
            return {};
        return {family, std::stol(digits)};
    }
    return {};
}

// The kernel lists every possible ttyS; one whose type is 0 has no UART.
bool HasNoUart(const std::string& ttyClassDir, const std::string& name)
{
    FILE* file = std::fopen((ttyClassDir + "/" + name + "/type").c_str(), "re");
    if (!file)
        return false;
    char text[16] = {};
    const bool read = std::fgets(text, sizeof text, file) != nullptr;
    std::fclose(file);
    return read && text[0] == '0' && (text[1] == '\n' || text[1] == '\0');
}

}  // namespace

Connection* OpenSerialPort(const SerialSettings& settings, ConnectFailure* failure)
{
    ConnectFailure ignored;
    ConnectFailure& why = failure ? *failure : ignored;
    why = ConnectFailed;
    if (!IsStandardBaud(settings.baud) || (settings.stopBits != 1 && settings.stopBits != 2) ||
        (settings.parity != ParityNone && settings.parity != ParityEven && settings.parity != ParityOdd))
        return nullptr;
    if (settings.port.empty() || settings.port.find('\0') != std::string::npos) {
        why = ConnectNoDevice;
        return nullptr;
    }

    // Only a character device is opened: opening a FIFO or a file by
    // mistake could block or have effects of its own.
    struct stat info {};
    if (stat(settings.port.c_str(), &info) != 0) {
        why = FailureOfOpen(errno);
        return nullptr;
    }
    if (!S_ISCHR(info.st_mode)) {
        why = ConnectNotSerial;
        return nullptr;
    }

    // O_NOCTTY: the port never becomes our controlling terminal; O_NONBLOCK:
    // the open does not wait for a carrier, and reads never block.
    const int fd = open(settings.port.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        why = FailureOfOpen(errno);
        return nullptr;
    }
    auto fail = [fd, &why](ConnectFailure reason) {
        why = reason;
        close(fd);
        return nullptr;
    };
    if (!isatty(fd))
        return fail(errno == EIO ? ConnectNoDevice : ConnectNotSerial);
    // The advisory lock keeps out every program that locks as well (root
    // included, whom TIOCEXCL does not stop); TIOCEXCL keeps out the others.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0)
        return fail(errno == EWOULDBLOCK ? ConnectBusy : ConnectFailed);
    if (ioctl(fd, TIOCEXCL) != 0)
        return fail(ConnectFailed);
    if (!SetLine(fd, settings))
        return fail(errno == EIO || errno == ENODEV || errno == ENXIO ? ConnectNoDevice : ConnectFailed);
    tcflush(fd, TCIOFLUSH);

    why = ConnectOk;
    return new Connection{fd, ConnectionSerialPort};
}

std::string SerialOpenFailureText(ConnectFailure failure, const std::string& port)
{
    switch (failure) {
    case ConnectNoDevice:
        return "There is no serial device " + port + " (Is the adapter plugged in ?).";
    case ConnectPermission:
        return "Permission denied for " + port + ". Access is given by the group " + GroupOf(port) +
               ": add your user to it (sudo adduser $USER " + GroupOf(port) + ") and log in again.";
    case ConnectBusy:
        return port + " is busy: another program has it open.";
    case ConnectNotSerial:
        return port + " is not a serial device.";
    default:
        return "Can't open the serial port " + port + " with these settings.";
    }
}

std::vector<std::string> ListSerialPorts()
{
    return ListSerialPorts("/dev", "/sys/class/tty", "/dev/serial/by-id");
}

std::vector<std::string> ListSerialPorts(const std::string& deviceDir, const std::string& ttyClassDir,
                                         const std::string& byIdDir)
{
    std::vector<std::pair<SerialName, std::string>> found;
    DIR* directory = opendir(deviceDir.c_str());
    if (!directory)
        return {};
    while (const dirent* entry = readdir(directory)) {
        const std::string name = entry->d_name;
        const SerialName parsed = ParseName(name);
        if (parsed.family < 0 || (parsed.family == 2 && HasNoUart(ttyClassDir, name)))
            continue;
        found.push_back({parsed, deviceDir + "/" + name});
    }
    closedir(directory);
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        return a.first.family != b.first.family ? a.first.family < b.first.family : a.first.number < b.first.number;
    });

    // The adapters' names, each in place of the device it names.
    std::vector<std::string> named;
    std::vector<std::string> namedDevices;
    if (DIR* byId = opendir(byIdDir.c_str())) {
        while (const dirent* entry = readdir(byId)) {
            if (entry->d_name[0] == '.')
                continue;
            const std::string link = byIdDir + "/" + entry->d_name;
            char* device = realpath(link.c_str(), nullptr);
            if (!device)
                continue;  // a name left behind by an adapter since pulled out
            named.push_back(link);
            namedDevices.push_back(device);
            std::free(device);
        }
        closedir(byId);
    }
    std::sort(named.begin(), named.end());
    std::vector<std::string> ports = named;
    for (const auto& [parsed, path] : found) {
        char* device = realpath(path.c_str(), nullptr);
        const bool isNamed =
            device && std::find(namedDevices.begin(), namedDevices.end(), device) != namedDevices.end();
        std::free(device);
        if (!isNamed)
            ports.push_back(path);
    }
    return ports;
}

std::string SerialPortToOffer(const std::vector<std::string>& ports)
{
    for (const std::string& port : ports) {
        const std::string name = port.substr(port.rfind('/') + 1);
        if (ParseName(name).family != 2)
            return port;
    }
    return {};
}
