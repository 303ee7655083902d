// The simulator's command line.
#pragma once

#include <string>

struct SimOptions {
    std::string bindAddress = "127.0.0.1";  // IPv4 dotted quad to listen on
    int port = -1;                          // 0..65535, 0 = any free port; -1 = 502, else 1502 when not permitted
    int unit = -1;                          // the one unit id answered; -1 = every unit id
    int delayMs = 0;                        // each response is held back this long, 0..60000
    bool verbose = false;                   // every request and response in hex on stderr
    bool help = false;                      // print the usage and exit
    // Modbus RTU on a serial device instead of Modbus/TCP.
    std::string rtuDevice;  // empty: Modbus/TCP
    int baud = 19200;       // 1200..115200, a standard rate
    char parity = 'E';      // 'N', 'E' or 'O'
    int stopBits = 1;       // 1 or 2
};

// The unit id an RTU server answers when --unit is not given: a device on a
// line has one address, and unit 0 is the broadcast.
constexpr int kDefaultRtuUnit = 1;

constexpr int kDefaultModbusPort = 502;
constexpr int kFallbackModbusPort = 1502;

// Fills options from argv[1..argc-1]. Returns an empty text on success,
// else what was wrong, as one line for the user.
std::string ParseSimOptions(int argc, const char* const* argv, SimOptions& options);

// The --help text.
const char* SimUsage();
