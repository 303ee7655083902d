// The simulator's command line.
#pragma once

#include <array>
#include <bitset>
#include <string>
#include <vector>

#include "modbus/register_map.h"

// Addresses of one table that do not exist: reads and writes touching them
// get exception 2.
struct SimHole {
    int unit = -1;  // the one unit id it applies to; -1 = every one
    MapTable table = MapHoldingRegisters;
    int first = 0;
    int last = 0;
};

// The longest identification object: it alone must fit in one reply.
constexpr size_t kMaxIdentityText = 244;

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

    // Device quirks, over Modbus/TCP and RTU alike.
    std::bitset<256> units;               // --units: the unit ids that answer; others get no answer
    bool unitsGiven = false;              // false: as --unit says
    std::bitset<256> gatewayAbsent;       // answered with exception 11, as by a gateway with nothing behind it
    int maxRegisters = 0;                 // 1..125: reads of more registers get exception 3; 0 = up to 125
    bool onlyMultipleWrites = false;      // --only-fc16: functions 5 and 6 get exception 1
    int answerUnit = -1;                  // every reply carries this unit id; -1 = the one asked
    bool hasIdentity = false;             // function 43/14 answered; else exception 1
    std::array<std::string, 3> identity;  // vendor name, product code, revision
    std::vector<SimHole> holes;
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
