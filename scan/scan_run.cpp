#include "scan/scan_run.h"

#include <chrono>
#include <cstdarg>
#include <string>

#include "connection/serial_port.h"
#include "dataview/scan_csv.h"
#include "dataview/scan_words.h"
#include "modbus/reply_judge.h"
#include "modbus/scan_exchange.h"

namespace {

constexpr int kExitInterrupted = 130;

struct Session {
    const ScanOptions& options;
    const ScanOutput& io;
    ScanLink link;
    bool progressShown = false;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
};

void ClearProgress(Session& s)
{
    if (s.progressShown)
        std::fputs("\r\033[K", s.io.err);
    s.progressShown = false;
}

void Progress(Session& s, const std::string& text)
{
    if (!s.io.progress)
        return;
    std::fprintf(s.io.err, "\r\033[Ksorbel-scan: %s", text.c_str());
    std::fflush(s.io.err);
    s.progressShown = true;
}

__attribute__((format(printf, 2, 3))) void Note(Session& s, const char* format, ...)
{
    ClearProgress(s);
    std::fputs("sorbel-scan: ", s.io.err);
    va_list args;
    va_start(args, format);
    std::vfprintf(s.io.err, format, args);
    va_end(args);
    std::fputc('\n', s.io.err);
    std::fflush(s.io.err);
}

void Line(Session& s, const std::string& line)
{
    ClearProgress(s);
    std::fprintf(s.io.out, "%s\n", line.c_str());
    std::fflush(s.io.out);
}

bool Stopped(const Session& s)
{
    return s.io.stop && *s.io.stop;
}

double Seconds(const Session& s)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - s.start).count();
}

// Opens the connection; false with why when it cannot be made.
bool Open(Session& s, std::string* why)
{
    ConnectFailure failure = ConnectFailed;
    const ScanTarget& t = s.options.target;
    Connection* connection = t.transport == TransportRtuSerial ? OpenSerialPort(t.serial, &failure)
                                                               : OpenConnection(t.host, t.port, -1, &failure);
    s.link.connection = connection;
    s.link.transactionId = 0;
    if (connection)
        return true;
    *why = ScanOpenFailureText(t, failure);
    return false;
}

// One request; when the link is lost, over a new connection. False when
// none could be made again.
bool Transact(Session& s, const ScanRequest& request, ScanReply* reply)
{
    for (int attempt = 0; attempt < 2; attempt++) {
        if (ScanTransact(s.link, request, reply))
            return true;
        CloseConnection(s.link.connection);
        s.link.connection = nullptr;
        std::string why;
        if (!Open(s, &why)) {
            Note(s, "the connection to %s was lost at unit %d and cannot be made again: %s",
                 ScanTargetText(s.options.target).c_str(), request.unit, why.c_str());
            return false;
        }
    }
    // Some gateways drop the connection rather than answer for a unit.
    Note(s, "unit %d: the connection was lost twice on one request; taken as no reply", request.unit);
    *reply = ScanReply{};
    return true;
}

std::string InvalidText(const UnitResult& r)
{
    if (r.fault == FaultUnitId)
        return "the reply carries unit id " + std::to_string(r.replyUnit);
    return std::string("invalid reply (") + ReplyFaultText(r.fault) + ")";
}

int ScanUnits(Session& s)
{
    const ScanOptions& o = s.options;
    UnitScan scan = StartUnitScan(o.firstUnit, o.lastUnit, o.identify);
    Line(s, kUnitCsvHeader);
    const int total = o.lastUnit - o.firstUnit + 1;
    int shown = -1;
    ScanRequest request;
    ScanReply reply;
    while (NextUnitRequest(scan, &request)) {
        if (Stopped(s)) {
            Note(s, "stopped at unit %d", request.unit);
            return kExitInterrupted;
        }
        if (request.unit != shown) {
            shown = request.unit;
            Progress(s, "unit " + std::to_string(shown) + " (" + std::to_string(shown - o.firstUnit + 1) + " of " +
                            std::to_string(total) + ")");
        }
        if (!Transact(s, request, &reply))
            return 1;
        if (!TakeUnitReply(scan, reply))
            continue;
        const UnitResult& r = scan.results.back();
        Line(s, UnitCsvLine(r));
        if (r.status == UnitInvalid)
            Note(s, "unit %d: %s", r.unit, InvalidText(r).c_str());
    }
    if (AllUnitsAlike(scan.results))
        Note(s, "every unit answered alike: the device probably ignores the unit id");

    Note(s, "%d units, %s; %u requests in %.1f s", total, UnitCountsText(scan.results).c_str(), s.link.requests,
         Seconds(s));
    return 0;
}

int MapRegisters(Session& s)
{
    const ScanOptions& o = s.options;
    RegisterMap map = StartRegisterMap(static_cast<uint8_t>(o.firstUnit), o.table, o.firstAddress, o.lastAddress);
    Line(s, kMapCsvHeader);
    // A range is printed once the next one has begun: until then it may grow.
    size_t printed = 0;
    auto printFinished = [&](size_t upTo) {
        for (; printed < upTo; printed++)
            Line(s, MapCsvLine(o.table, map.ranges[printed]));
    };
    ScanRequest request;
    ScanReply reply;
    int exitCode = 0;
    while (NextMapRequest(map, &request)) {
        if (Stopped(s)) {
            Note(s, "stopped at address %d: the map ends before it", map.pos);
            exitCode = kExitInterrupted;
            break;
        }
        Progress(s, std::string(MapTableName(o.table)) + " " + std::to_string(request.address) + " of " +
                        std::to_string(o.firstAddress) + "-" + std::to_string(o.lastAddress));
        if (!Transact(s, request, &reply))
            return 1;
        TakeMapReply(map, reply);
        if (!map.ranges.empty())
            printFinished(map.ranges.size() - 1);
    }
    printFinished(map.ranges.size());
    Note(s, "unit %d, %s %d-%d: %zu range%s; %u requests in %.1f s", o.firstUnit, MapTableName(o.table), o.firstAddress,
         o.lastAddress, map.ranges.size(), map.ranges.size() == 1 ? "" : "s", s.link.requests, Seconds(s));
    return exitCode;
}

}  // namespace

int RunScan(const ScanOptions& options, const ScanOutput& output)
{
    const ScanPacing pacing{static_cast<uint32_t>(options.timeoutMs), static_cast<uint32_t>(options.gapMs)};
    Session s{options, output, ScanLinkFor(options.target, pacing)};

    std::string why;
    if (!Open(s, &why)) {
        Note(s, "cannot connect to %s: %s", ScanTargetText(options.target).c_str(), why.c_str());
        return 1;
    }
    const int exitCode = options.mapRegisters ? MapRegisters(s) : ScanUnits(s);
    CloseConnection(s.link.connection);
    return exitCode;
}
