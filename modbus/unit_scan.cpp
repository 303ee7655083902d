#include "modbus/unit_scan.h"

namespace {

bool IsGatewayException(uint8_t code)
{
    return code == kExceptionGatewayPath || code == kExceptionGatewayTarget;
}

void StartUnit(UnitScan& scan, int unit)
{
    scan.unit = unit;
    scan.probe = 0;
    scan.identifying = false;
    scan.collection = DeviceIdCollection{};
    scan.current = UnitResult{};
    scan.current.unit = unit;
}

// The unit is classified: identify it when asked and something replied,
// else move on.
bool Classified(UnitScan& scan, UnitStatus status)
{
    scan.current.status = status;
    if (scan.identify && status != UnitSilent && status != UnitAbsent) {
        scan.identifying = true;
        return false;
    }
    scan.results.push_back(scan.current);
    StartUnit(scan, scan.unit + 1);
    return true;
}

bool Identified(UnitScan& scan)
{
    const DeviceIdCollection& c = scan.collection;
    scan.current.identified = c.found[0] || c.found[1] || c.found[2];
    scan.current.identity = c.texts;
    scan.results.push_back(scan.current);
    StartUnit(scan, scan.unit + 1);
    return true;
}

bool TakeIdentification(UnitScan& scan, const ScanReply& reply)
{
    DeviceIdReply parsed;
    // Refused, silent or garbled: what was collected so far stands.
    if (reply.outcome.kind != OutcomeValid ||
        !ParseDeviceIdReply(reply.pdu.data(), static_cast<int>(reply.pdu.size()), &parsed))
        return Identified(scan);
    TakeDeviceIdReply(scan.collection, parsed);
    return scan.collection.done ? Identified(scan) : false;
}

}  // namespace

const char* UnitStatusName(UnitStatus status)
{
    switch (status) {
    case UnitAnswers:
        return "answers";
    case UnitException:
        return "exception";
    case UnitAbsent:
        return "absent";
    case UnitSilent:
        return "silent";
    case UnitInvalid:
        return "invalid";
    }
    return "";
}

int LowestScanUnit(TransportKind transport)
{
    return transport == TransportModbusTcp ? 0 : 1;
}

int HighestScanUnit(TransportKind transport)
{
    return transport == TransportModbusTcp ? 255 : 247;
}

UnitScan StartUnitScan(int first, int last, bool identify)
{
    UnitScan scan;
    scan.first = first;
    scan.last = last;
    scan.identify = identify;
    StartUnit(scan, first);
    return scan;
}

bool NextUnitRequest(const UnitScan& scan, ScanRequest* request)
{
    if (scan.unit > scan.last)
        return false;
    *request = ScanRequest{};
    request->unit = static_cast<uint8_t>(scan.unit);
    if (scan.identifying) {
        request->function = kFunctionDeviceId;
        request->objectId = scan.collection.nextObjectId;
    } else {
        request->function = kProbeFunctions[scan.probe];
        request->quantity = 1;
    }
    return true;
}

bool TakeUnitReply(UnitScan& scan, const ScanReply& reply)
{
    if (scan.unit > scan.last)
        return false;
    if (scan.identifying)
        return TakeIdentification(scan, reply);

    UnitResult& unit = scan.current;
    const uint8_t function = kProbeFunctions[scan.probe];
    switch (reply.outcome.kind) {
    case OutcomeValid:
        unit.function = function;
        unit.exceptionCode = 0;
        unit.replyLength = static_cast<int>(reply.pdu.size());
        return Classified(scan, UnitAnswers);
    case OutcomeInvalid:
        unit.function = function;
        unit.exceptionCode = 0;
        unit.fault = reply.outcome.fault;
        unit.replyUnit = reply.replyUnit;
        return Classified(scan, UnitInvalid);
    case OutcomeException:
        unit.function = function;
        unit.exceptionCode = reply.outcome.exceptionCode;
        if (IsGatewayException(reply.outcome.exceptionCode))
            return Classified(scan, UnitAbsent);
        break;
    default:
        // No reply. A device that is there answers every function, if only
        // with an exception: one probe is enough to call a unit silent.
        if (scan.probe == 0)
            return Classified(scan, UnitSilent);
        break;
    }
    if (++scan.probe < kProbeFunctions.size())
        return false;
    return Classified(scan, UnitException);
}

bool AllUnitsAlike(const std::vector<UnitResult>& results)
{
    if (results.size() < 2)
        return false;
    const UnitResult& a = results.front();
    if (a.status != UnitAnswers && a.status != UnitException && a.status != UnitInvalid)
        return false;
    for (const UnitResult& b : results) {
        const bool alike = b.status == a.status && b.function == a.function && b.replyLength == a.replyLength &&
                           b.exceptionCode == a.exceptionCode && b.fault == a.fault && b.replyUnit == a.replyUnit &&
                           b.identified == a.identified && b.identity == a.identity;
        if (!alike)
            return false;
    }
    return true;
}
