#include "sim/sim_options.h"

#include <arpa/inet.h>

#include <string_view>
#include <vector>

namespace {

// Plain decimal digits only: "+5", " 5", "0x10" and "5ms" are refused.
bool ReadNumber(std::string_view text, long low, long high, int& out)
{
    if (text.empty() || text.size() > 9)
        return false;
    long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    if (value < low || value > high)
        return false;
    out = static_cast<int>(value);
    return true;
}

bool IsStandardBaud(int baud)
{
    for (int standard : {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200})
        if (baud == standard)
            return true;
    return false;
}

}  // namespace

const char* SimUsage()
{
    return "usage: sorbel-sim [--bind ADDR] [--port N] [--unit N] [--delay MS] [--verbose]\n"
           "       sorbel-sim --rtu DEVICE [--baud N] [--parity N|E|O] [--stop-bits 1|2]\n"
           "                  [--unit N] [--delay MS] [--verbose]\n"
           "\n"
           "A Modbus/TCP server simulator for trying Sorbel-Client, or a Modbus RTU\n"
           "device on a serial port.\n"
           "\n"
           "  --bind ADDR  IPv4 address to listen on (default 127.0.0.1; 0.0.0.0 = all)\n"
           "  --port N     TCP port, 0 picks a free one (default 502, or 1502 when\n"
           "               not permitted to bind 502)\n"
           "  --unit N     answer only this unit id (0..255); others get exception 11\n"
           "               (default: answer every unit id). With --rtu: the device's\n"
           "               address (1..247, default 1); others get no answer\n"
           "  --delay MS   hold each response back MS milliseconds (0..60000)\n"
           "  --verbose    print every request and response in hex on stderr\n"
           "  --help       print this text\n"
           "\n"
           "  --rtu DEVICE serve Modbus RTU on the serial device DEVICE (such as\n"
           "               /dev/ttyUSB0, or one end of a socat pseudo-terminal pair)\n"
           "  --baud N     its rate: 1200, 2400, 4800, 9600, 19200 (default), 38400,\n"
           "               57600 or 115200\n"
           "  --parity P   N (none), E (even, default) or O (odd); 8 data bits\n"
           "  --stop-bits N  1 (default) or 2\n"
           "\n"
           "A connection that sends the text \"quit\" instead of Modbus stops it.\n";
}

std::string ParseSimOptions(int argc, const char* const* argv, SimOptions& options)
{
    std::vector<std::string> seen;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        std::string_view name = arg, value;
        bool hasValue = false;
        if (size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string_view::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
            hasValue = true;
        }

        if (name == "--help" || name == "-h") {
            options.help = true;
            continue;
        }
        if (name == "--verbose" || name == "-v") {
            if (hasValue)
                return "option --verbose takes no value";
            options.verbose = true;
            continue;
        }
        if (name != "--bind" && name != "--port" && name != "--unit" && name != "--delay" && name != "--rtu" &&
            name != "--baud" && name != "--parity" && name != "--stop-bits")
            return "unknown option: " + std::string(arg);
        if (!hasValue) {
            if (i + 1 >= argc)
                return "option " + std::string(name) + " needs a value";
            value = argv[++i];
        }

        if (name == "--bind") {
            in_addr address{};
            if (inet_pton(AF_INET, std::string(value).c_str(), &address) != 1)
                return "--bind needs an IPv4 address like 127.0.0.1, not: " + std::string(value);
            options.bindAddress = std::string(value);
        } else if (name == "--port") {
            if (!ReadNumber(value, 0, 65535, options.port))
                return "--port needs a number from 0 to 65535, not: " + std::string(value);
        } else if (name == "--unit") {
            if (!ReadNumber(value, 0, 255, options.unit))
                return "--unit needs a number from 0 to 255, not: " + std::string(value);
        } else if (name == "--delay") {
            if (!ReadNumber(value, 0, 60000, options.delayMs))
                return "--delay needs milliseconds from 0 to 60000, not: " + std::string(value);
        } else if (name == "--rtu") {
            if (value.empty())
                return "--rtu needs a serial device such as /dev/ttyUSB0";
            options.rtuDevice = std::string(value);
        } else if (name == "--baud") {
            if (!ReadNumber(value, 1200, 115200, options.baud) || !IsStandardBaud(options.baud))
                return "--baud needs 1200, 2400, 4800, 9600, 19200, 38400, 57600 or 115200, not: " + std::string(value);
        } else if (name == "--parity") {
            if (value != "N" && value != "E" && value != "O")
                return "--parity needs N, E or O, not: " + std::string(value);
            options.parity = value[0];
        } else {
            if (!ReadNumber(value, 1, 2, options.stopBits))
                return "--stop-bits needs 1 or 2, not: " + std::string(value);
        }
        seen.push_back(std::string(name));
    }

    // Each transport takes only its own options.
    const bool rtu = !options.rtuDevice.empty();
    for (const std::string& name : seen) {
        const bool tcpOnly = name == "--bind" || name == "--port";
        const bool rtuOnly = name == "--baud" || name == "--parity" || name == "--stop-bits";
        if (rtu && tcpOnly)
            return "option " + name + " is for Modbus/TCP, not with --rtu";
        if (!rtu && rtuOnly)
            return "option " + name + " needs --rtu DEVICE";
    }
    if (rtu && (options.unit == 0 || options.unit > 247))
        return "--unit with --rtu needs an address from 1 to 247 (0 is the broadcast)";
    return {};
}
