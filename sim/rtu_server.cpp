#include "sim/rtu_server.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <modbus.h>

#include "modbus/framing.h"
#include "sim/modbus_answer.h"
#include "sim/request_framing.h"

namespace {

// A request whose length its function does not tell ends, and bytes that
// make no request are dropped, once the line has been quiet this long:
// longer than a USB adapter holds bytes back before it passes them on.
constexpr int kQuietMs = 20;
// Unit id, function and CRC of a frame, and the MBAP header of the same
// request over TCP, which the answerer takes.
constexpr size_t kRtuOverhead = 3;
constexpr size_t kTcpHeaderBytes = 6;

std::string Hex(const uint8_t* bytes, size_t count)
{
    std::string text;
    char two[4];
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(two, sizeof two, i ? " %02X" : "%02X", bytes[i]);
        text += two;
    }
    return text;
}

// "unit 1", "units 1, 7, 10-20".
std::string UnitsText(const std::bitset<256>& units)
{
    std::string list;
    for (size_t first = 0; first < units.size(); first++) {
        if (!units.test(first))
            continue;
        size_t last = first;
        while (last + 1 < units.size() && units.test(last + 1))
            last++;
        list += (list.empty() ? "" : ", ") + std::to_string(first);
        if (last > first)
            list += "-" + std::to_string(last);
        first = last;
    }
    return (units.count() == 1 ? "unit " : "units ") + list;
}

bool WriteAll(int fd, const uint8_t* bytes, size_t count)
{
    while (count > 0) {
        const ssize_t n = write(fd, bytes, count);
        if (n > 0) {
            bytes += n;
            count -= static_cast<size_t>(n);
            continue;
        }
        pollfd writable{fd, POLLOUT, 0};
        if (n < 0 && errno != EINTR && (errno != EAGAIN || poll(&writable, 1, 1000) <= 0))
            return false;
    }
    return true;
}

struct Line {
    const SimOptions& options;
    ModbusAnswerer& answerer;
    int fd;
    std::vector<uint8_t> in;  // received, not yet a whole request
    bool discarding = false;  // dropping what comes until the line is quiet
};

// Answers one whole frame: as the answerer answers the same request over
// TCP, the reply's header taken off and a CRC put on. A broadcast (unit 0)
// is carried out and not answered; a frame with a wrong CRC is the line's
// fault and is dropped, with what follows it until the line is quiet.
bool Answer(Line& line, const uint8_t* frame, size_t length)
{
    const bool verbose = line.options.verbose;
    if (verbose)
        std::fprintf(stderr, "sorbel-sim: -> %s\n", Hex(frame, length).c_str());
    if (length < kRtuOverhead + 1 || !RtuCrcValid(frame, static_cast<int>(length))) {
        if (verbose)
            std::fprintf(stderr, "sorbel-sim: request dropped: wrong CRC\n");
        line.discarding = true;
        return true;
    }
    std::vector<uint8_t> request(kTcpHeaderBytes, 0);
    const size_t body = length - kRtuCrcLength;  // unit id and PDU
    request[4] = static_cast<uint8_t>(body >> 8);
    request[5] = static_cast<uint8_t>(body);
    request.insert(request.end(), frame, frame + body);
    const SimAnswer answer = AnswerRequest(line.answerer, request.data(), static_cast<int>(request.size()));
    if (answer.ignored || frame[0] == 0) {
        if (verbose)
            std::fprintf(stderr, "sorbel-sim: %s\n", frame[0] == 0 ? "a broadcast, not answered" : "not answered");
        return true;
    }
    if (answer.bytes.size() <= kTcpHeaderBytes)
        return true;
    std::vector<uint8_t> reply(answer.bytes.begin() + kTcpHeaderBytes, answer.bytes.end());
    const uint16_t crc = RtuCrc(reply.data(), static_cast<int>(reply.size()));
    reply.push_back(static_cast<uint8_t>(crc & 0xFF));
    reply.push_back(static_cast<uint8_t>(crc >> 8));
    if (line.options.delayMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(line.options.delayMs));
    if (verbose)
        std::fprintf(stderr, "sorbel-sim: <- %s\n", Hex(reply.data(), reply.size()).c_str());
    return WriteAll(line.fd, reply.data(), reply.size());
}

// Answers every whole request at the start of what was received.
bool AnswerWhole(Line& line)
{
    while (!line.in.empty() && !line.discarding) {
        const int length = RtuRequestLength(line.in.data(), line.in.size());
        if (length <= 0 || line.in.size() < static_cast<size_t>(length))
            return true;
        const std::vector<uint8_t> frame(line.in.begin(), line.in.begin() + length);
        line.in.erase(line.in.begin(), line.in.begin() + length);
        if (!Answer(line, frame.data(), frame.size()))
            return false;
    }
    if (line.discarding)
        line.in.clear();
    return true;
}

// The line has been quiet: a request of unknown length ends here, and a
// request cut short is dropped.
bool LineQuiet(Line& line)
{
    line.discarding = false;
    if (line.in.empty())
        return true;
    const int length = RtuRequestLength(line.in.data(), line.in.size());
    std::vector<uint8_t> frame;
    frame.swap(line.in);
    if (length < 0)
        return Answer(line, frame.data(), frame.size());
    if (line.options.verbose)
        std::fprintf(stderr, "sorbel-sim: request dropped: cut short after %zu bytes\n", frame.size());
    return true;
}

}  // namespace

int RunRtuSimulator(const SimOptions& options, const sigset_t& waitMask, const volatile sig_atomic_t& stopSignal)
{
    // A line's devices answer their own addresses only: --unit names the
    // one device, unless --units names several.
    SimOptions device = options;
    const int unit = options.unit >= 0 ? options.unit : kDefaultRtuUnit;
    if (!device.unitsGiven) {
        device.units.set(static_cast<size_t>(unit));
        device.unitsGiven = true;
    }
    device.unit = -1;

    // libmodbus opens the port and sets the line up; the frames are read
    // and written here, so that any unit id, function 43 and the quirks are
    // served as over TCP.
    modbus_t* ctx = modbus_new_rtu(options.rtuDevice.c_str(), options.baud, options.parity, 8, options.stopBits);
    if (!ctx || modbus_connect(ctx) != 0) {
        std::fprintf(stderr, "sorbel-sim: cannot open %s: %s\n", options.rtuDevice.c_str(), modbus_strerror(errno));
        if (ctx)
            modbus_free(ctx);
        return 1;
    }
    ModbusAnswerer answerer;
    if (!OpenAnswerer(answerer, device)) {
        std::fprintf(stderr, "sorbel-sim: cannot set up the data tables\n");
        modbus_close(ctx);
        modbus_free(ctx);
        return 1;
    }
    std::printf("sorbel-sim: listening on %s (RTU %d 8%c%d, %s)\n", options.rtuDevice.c_str(), options.baud,
                options.parity, options.stopBits, UnitsText(device.units).c_str());
    std::fflush(stdout);

    Line line{device, answerer, modbus_get_socket(ctx), {}, false};
    int exitCode = 0;
    for (;;) {
        if (stopSignal) {
            std::printf("sorbel-sim: stopped by signal\n");
            std::fflush(stdout);
            break;
        }
        // Wait here, where a stop signal can end the wait.
        pollfd ready{line.fd, POLLIN, 0};
        const timespec quiet{0, kQuietMs * 1000000L};
        const bool waiting = !line.in.empty() || line.discarding;
        const int polled = ppoll(&ready, 1, waiting ? &quiet : nullptr, &waitMask);
        if (polled < 0 && errno == EINTR)
            continue;
        if (polled < 0) {
            std::fprintf(stderr, "sorbel-sim: poll failed: %s\n", std::strerror(errno));
            exitCode = 1;
            break;
        }
        if (polled == 0) {
            if (!LineQuiet(line)) {
                exitCode = 1;
                break;
            }
            continue;
        }
        uint8_t chunk[MODBUS_RTU_MAX_ADU_LENGTH];
        const ssize_t n = read(line.fd, chunk, sizeof chunk);
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (n <= 0) {
            std::fprintf(stderr, "sorbel-sim: %s failed: %s\n", options.rtuDevice.c_str(),
                         n == 0 ? "hung up" : std::strerror(errno));
            exitCode = 1;
            break;
        }
        if (!line.discarding)
            line.in.insert(line.in.end(), chunk, chunk + n);
        // More than any frame: not requests, whatever it is.
        if (line.in.size() > MODBUS_RTU_MAX_ADU_LENGTH) {
            line.in.clear();
            line.discarding = true;
        }
        if (!AnswerWhole(line)) {
            std::fprintf(stderr, "sorbel-sim: %s failed: %s\n", options.rtuDevice.c_str(), std::strerror(errno));
            exitCode = 1;
            break;
        }
    }

    CloseAnswerer(answerer);
    modbus_close(ctx);
    modbus_free(ctx);
    return exitCode;
}
