#include "sim/sim_options.h"

#include <arpa/inet.h>

#include <string_view>
#include <vector>

#include "common/command_line.h"
#include "connection/line_settings.h"

namespace {

// "1,7,10-20".
bool ReadUnitList(std::string_view text, std::bitset<256>& units)
{
    for (std::string_view item : SplitOption(text, ',')) {
        int first = 0, last = 0;
        if (!ReadOptionRange(item, 0, 255, first, last))
            return false;
        for (int unit = first; unit <= last; unit++)
            units.set(static_cast<size_t>(unit));
    }
    return true;
}

// "[UNIT/]TABLE:FIRST[-LAST],...".
bool ReadHoles(std::string_view text, std::vector<SimHole>& holes)
{
    for (std::string_view item : SplitOption(text, ',')) {
        SimHole hole;
        if (const size_t slash = item.find('/'); slash != std::string_view::npos) {
            if (!ReadOptionNumber(item.substr(0, slash), 0, 255, hole.unit))
                return false;
            item.remove_prefix(slash + 1);
        }
        const size_t colon = item.find(':');
        if (colon == std::string_view::npos || !MapTableFromName(item.substr(0, colon), &hole.table) ||
            !ReadOptionRange(item.substr(colon + 1), 0, 65535, hole.first, hole.last))
            return false;
        holes.push_back(hole);
    }
    return true;
}

// "vendor;product;revision".
bool ReadIdentity(std::string_view text, std::array<std::string, 3>& identity)
{
    const std::vector<std::string_view> fields = SplitOption(text, ';');
    if (fields.size() != identity.size())
        return false;
    for (size_t i = 0; i < fields.size(); i++) {
        if (fields[i].size() > kMaxIdentityText)
            return false;
        identity[i] = std::string(fields[i]);
    }
    return true;
}

}  // namespace

const char* SimUsage()
{
    return "usage: sorbel-sim [--bind ADDR] [--port N] [--unit N] [--delay MS] [--verbose]\n"
           "                  [QUIRKS]\n"
           "       sorbel-sim --rtu DEVICE [--baud N] [--parity N|E|O] [--stop-bits 1|2]\n"
           "                  [--unit N] [--delay MS] [--verbose] [QUIRKS]\n"
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
           "Device quirks, to try a client or a scan against (Modbus/TCP and RTU):\n"
           "  --units LIST answer only these unit ids (such as 1,7,10-20); others get\n"
           "               no answer at all\n"
           "  --gateway-absent LIST  answer these unit ids with exception 11, as a\n"
           "               gateway with no device behind it\n"
           "  --identity \"VENDOR;PRODUCT;REVISION\"  answer function 43/14 (read\n"
           "               device identification) with these basic objects; without\n"
           "               it, 43/14 gets exception 1\n"
           "  --holes [UNIT/]TABLE:FIRST-LAST,...  addresses that do not exist: reads\n"
           "               and writes touching them get exception 2. TABLE: coils,\n"
           "               inputs, input-registers or holding-registers; UNIT: only\n"
           "               for that unit id\n"
           "  --max-registers N  reads of more than N registers (1..125) get\n"
           "               exception 3\n"
           "  --only-fc16  functions 5 and 6 get exception 1: only 15 and 16 write\n"
           "  --answer-unit N  every reply carries unit id N (0..255), whatever was asked\n"
           "\n"
           "A connection that sends the text \"quit\" instead of Modbus stops it.\n";
}

std::string ParseSimOptions(int argc, const char* const* argv, SimOptions& options)
{
    std::vector<std::string> seen;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        CommandOption option = SplitOptionArgument(arg);
        const std::string_view name = option.name;
        if (name == "--help" || name == "-h") {
            options.help = true;
            continue;
        }
        if (name == "--verbose" || name == "-v" || name == "--only-fc16") {
            if (option.hasValue)
                return "option " + std::string(name) + " takes no value";
            if (name == "--only-fc16")
                options.onlyMultipleWrites = true;
            else
                options.verbose = true;
            continue;
        }
        if (!OptionIsOneOf(name, {"--bind", "--port", "--unit", "--delay", "--rtu", "--baud", "--parity", "--stop-bits",
                                  "--units", "--holes", "--identity", "--max-registers", "--answer-unit",
                                  "--gateway-absent"}))
            return "unknown option: " + std::string(arg);
        if (!TakeOptionValue(argc, argv, i, option))
            return "option " + std::string(name) + " needs a value";
        const std::string_view value = option.value;

        if (name == "--bind") {
            in_addr address{};
            if (inet_pton(AF_INET, std::string(value).c_str(), &address) != 1)
                return "--bind needs an IPv4 address like 127.0.0.1, not: " + std::string(value);
            options.bindAddress = std::string(value);
        } else if (name == "--port") {
            if (!ReadOptionNumber(value, 0, 65535, options.port))
                return "--port needs a number from 0 to 65535, not: " + std::string(value);
        } else if (name == "--unit") {
            if (!ReadOptionNumber(value, 0, 255, options.unit))
                return "--unit needs a number from 0 to 255, not: " + std::string(value);
        } else if (name == "--delay") {
            if (!ReadOptionNumber(value, 0, 60000, options.delayMs))
                return "--delay needs milliseconds from 0 to 60000, not: " + std::string(value);
        } else if (name == "--rtu") {
            if (value.empty())
                return "--rtu needs a serial device such as /dev/ttyUSB0";
            options.rtuDevice = std::string(value);
        } else if (name == "--baud") {
            if (!ReadOptionNumber(value, 1200, 115200, options.baud) || !IsStandardBaud(options.baud))
                return "--baud needs 1200, 2400, 4800, 9600, 19200, 38400, 57600 or 115200, not: " + std::string(value);
        } else if (name == "--parity") {
            if (value != "N" && value != "E" && value != "O")
                return "--parity needs N, E or O, not: " + std::string(value);
            options.parity = value[0];
        } else if (name == "--units") {
            options.unitsGiven = true;
            if (!ReadUnitList(value, options.units))
                return "--units needs unit ids from 0 to 255 such as 1,7,10-20, not: " + std::string(value);
        } else if (name == "--gateway-absent") {
            if (!ReadUnitList(value, options.gatewayAbsent))
                return "--gateway-absent needs unit ids from 0 to 255 such as 3,5-6, not: " + std::string(value);
        } else if (name == "--holes") {
            if (!ReadHoles(value, options.holes))
                return "--holes needs [UNIT/]TABLE:FIRST-LAST items such as holding-registers:100-199, not: " +
                       std::string(value);
        } else if (name == "--identity") {
            if (!ReadIdentity(value, options.identity))
                return "--identity needs \"VENDOR;PRODUCT;REVISION\", each of at most 244 bytes, not: " +
                       std::string(value);
            options.hasIdentity = true;
        } else if (name == "--max-registers") {
            if (!ReadOptionNumber(value, 1, 125, options.maxRegisters))
                return "--max-registers needs a number from 1 to 125, not: " + std::string(value);
        } else if (name == "--answer-unit") {
            if (!ReadOptionNumber(value, 0, 255, options.answerUnit))
                return "--answer-unit needs a number from 0 to 255, not: " + std::string(value);
        } else {
            if (!ReadOptionNumber(value, 1, 2, options.stopBits))
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
    if (options.unitsGiven && options.unit >= 0)
        return "--unit and --units do not go together";
    if ((options.units & options.gatewayAbsent).any())
        return "a unit id cannot be in both --units and --gateway-absent";
    if (rtu && (options.units.test(0) || options.gatewayAbsent.test(0)))
        return "with --rtu, unit id 0 is the broadcast: every device acts on it and none answers";
    return {};
}
