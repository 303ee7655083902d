#include "scan/scan_options.h"

#include <string_view>

#include "common/command_line.h"
#include "modbus/unit_scan.h"

namespace {

// "HOST" or "HOST:PORT".
bool ReadHost(std::string_view text, std::string& host, int64_t& port)
{
    const size_t colon = text.rfind(':');
    if (colon != std::string_view::npos) {
        int number = 0;
        if (!ReadOptionNumber(text.substr(colon + 1), 1, 65535, number))
            return false;
        port = number;
        text = text.substr(0, colon);
    }
    if (text.empty() || text.find_first_of(": \t") != std::string_view::npos)
        return false;
    host = std::string(text);
    return true;
}

}  // namespace

const char* ScanUsage()
{
    return "usage: sorbel-scan TARGET [--units FIRST-LAST] [--id] [--timeout MS] [--gap MS]\n"
           "       sorbel-scan TARGET --units N --registers TABLE:FIRST-LAST\n"
           "                   [--timeout MS] [--gap MS]\n"
           "TARGET: HOST[:PORT] | --rtu-tcp HOST[:PORT] |\n"
           "        --serial DEVICE [--baud N] [--parity N|E|O] [--stop 1|2]\n"
           "\n"
           "Asks every unit id of a range over Modbus/TCP or Modbus RTU who answers,\n"
           "and prints one CSV line per unit on standard output:\n"
           "unit,status,vendor,product,revision. Status: answers, exception (there,\n"
           "but refused every probe), absent (a gateway said nothing is behind it),\n"
           "silent (no reply) or invalid (a reply that is not valid Modbus).\n"
           "\n"
           "  HOST[:PORT]    a Modbus/TCP server or gateway (port 502 by default)\n"
           "  --rtu-tcp HOST[:PORT]  RTU frames over TCP, to a serial converter\n"
           "  --serial DEVICE  RTU on a serial port such as /dev/ttyUSB0, with\n"
           "                 --baud N (default 19200), --parity N|E|O (default E),\n"
           "                 --stop 1|2 (default 1)\n"
           "  --units FIRST-LAST  the unit ids to ask, or one id N (default 1-247;\n"
           "                 0-255 over Modbus/TCP, 1-247 over RTU)\n"
           "  --id           ask every unit that is there for its identification\n"
           "                 (function 43/14: vendor, product code, revision)\n"
           "  --registers TABLE:FIRST-LAST  instead, map which addresses of one unit\n"
           "                 (--units N) can be read: CSV lines table,first,last,status.\n"
           "                 TABLE: coils, inputs, input-registers, holding-registers;\n"
           "                 addresses as sent, from 0\n"
           "  --timeout MS   how long to wait for each reply (10-60000, default 200)\n"
           "  --gap MS       the least quiet time after a reply before the next\n"
           "                 request (0-60000, default 20)\n"
           "  --help         print this text\n"
           "\n"
           "Exit status: 0 when the scan ran, 1 when the connection could not be\n"
           "made (or was lost and could not be made again), 2 for wrong arguments,\n"
           "130 when interrupted.\n";
}

std::string ParseScanOptions(int argc, const char* const* argv, ScanOptions& options)
{
    bool target = false, serialLine = false, registers = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        CommandOption option = SplitOptionArgument(arg);
        const std::string_view name = option.name;
        if (name == "--help" || name == "-h") {
            options.help = true;
            continue;
        }
        if (name == "--id") {
            if (option.hasValue)
                return "option --id takes no value";
            options.identify = true;
            continue;
        }
        if (arg.empty() || arg[0] != '-') {
            if (target)
                return "one target only: " + std::string(arg);
            if (!ReadHost(arg, options.target.host, options.target.port))
                return "not a HOST or HOST:PORT (port 1-65535): " + std::string(arg);
            target = true;
            continue;
        }
        if (!OptionIsOneOf(name, {"--rtu-tcp", "--serial", "--baud", "--parity", "--stop", "--units", "--registers",
                                  "--timeout", "--gap"}))
            return "unknown option: " + std::string(arg);
        if (!TakeOptionValue(argc, argv, i, option))
            return "option " + std::string(name) + " needs a value";
        const std::string_view value = option.value;

        if (name == "--rtu-tcp" || name == "--serial") {
            if (target)
                return "one target only: " + std::string(name) + " " + std::string(value);
            target = true;
            if (name == "--serial") {
                if (value.empty())
                    return "--serial needs a serial device such as /dev/ttyUSB0";
                options.target.transport = TransportRtuSerial;
                options.target.serial.port = std::string(value);
            } else {
                if (!ReadHost(value, options.target.host, options.target.port))
                    return "--rtu-tcp needs HOST or HOST:PORT (port 1-65535), not: " + std::string(value);
                options.target.transport = TransportRtuOverTcp;
            }
        } else if (name == "--baud") {
            int baud = 0;
            if (!ReadOptionNumber(value, 1200, 115200, baud) || !IsStandardBaud(baud))
                return "--baud needs 1200, 2400, 4800, 9600, 19200, 38400, 57600 or 115200, not: " + std::string(value);
            options.target.serial.baud = baud;
            serialLine = true;
        } else if (name == "--parity") {
            if (!ParityFromLetter(value, &options.target.serial.parity))
                return "--parity needs N, E or O, not: " + std::string(value);
            serialLine = true;
        } else if (name == "--stop") {
            int stop = 0;
            if (!ReadOptionNumber(value, 1, 2, stop))
                return "--stop needs 1 or 2, not: " + std::string(value);
            options.target.serial.stopBits = stop;
            serialLine = true;
        } else if (name == "--units") {
            if (!ReadOptionRange(value, 0, 255, options.firstUnit, options.lastUnit))
                return "--units needs FIRST-LAST or N, unit ids 0-255, not: " + std::string(value);
            options.unitsGiven = true;
        } else if (name == "--registers") {
            const size_t colon = value.find(':');
            if (colon == std::string_view::npos || !MapTableFromName(value.substr(0, colon), &options.table) ||
                !ReadOptionRange(value.substr(colon + 1), 0, 65535, options.firstAddress, options.lastAddress))
                return "--registers needs TABLE:FIRST-LAST such as holding-registers:0-9999 (TABLE: coils, "
                       "inputs, input-registers, holding-registers), not: " +
                       std::string(value);
            options.mapRegisters = registers = true;
        } else if (name == "--timeout") {
            if (!ReadOptionNumber(value, 10, 60000, options.timeoutMs))
                return "--timeout needs milliseconds from 10 to 60000, not: " + std::string(value);
        } else {
            if (!ReadOptionNumber(value, 0, 60000, options.gapMs))
                return "--gap needs milliseconds from 0 to 60000, not: " + std::string(value);
        }
    }
    if (options.help)
        return {};

    if (!target)
        return "nothing to scan: give HOST[:PORT], --rtu-tcp HOST[:PORT] or --serial DEVICE";
    if (serialLine && options.target.transport != TransportRtuSerial)
        return "--baud, --parity and --stop go with --serial DEVICE";
    if (options.firstUnit < LowestScanUnit(options.target.transport) ||
        options.lastUnit > HighestScanUnit(options.target.transport))
        return "over RTU, unit ids are 1-247 (0 is the broadcast, which no device answers)";
    if (registers) {
        if (!options.unitsGiven || options.firstUnit != options.lastUnit)
            return "--registers maps one unit: give it with --units N";
        if (options.identify)
            return "--id does not go with --registers";
    }
    return {};
}
