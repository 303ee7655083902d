// Which unit ids of a range answer, and what they are: each unit is probed
// with reads of one value at address 0 (holding registers, then input
// registers, coils, discrete inputs) until one is answered normally, then,
// when asked for, identified (function 43/14). Pure: see scan_step.h.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "connection/line_settings.h"
#include "modbus/device_id.h"
#include "modbus/scan_step.h"

enum UnitStatus {
    UnitAnswers,    // a probe was answered normally
    UnitException,  // no probe was answered normally, one at least by an exception other than 0x0A, 0x0B
    UnitAbsent,     // a gateway said nothing is behind it (exception 0x0A or 0x0B)
    UnitSilent,     // no reply to the first probe within the time-out
    UnitInvalid,    // a probe got a reply that is not a valid one (wrong unit id, ...)
};

// "answers", "exception", "absent", "silent", "invalid".
const char* UnitStatusName(UnitStatus status);

// The unit ids a scan over transport may ask: 0-255 over Modbus/TCP, 1-247
// over RTU, where 0 is the broadcast that no device answers.
int LowestScanUnit(TransportKind transport);
int HighestScanUnit(TransportKind transport);

// The probes, in order: function codes of reads of one value at address 0.
constexpr std::array<uint8_t, 4> kProbeFunctions = {3, 4, 1, 2};

struct UnitResult {
    int unit = 0;
    UnitStatus status = UnitSilent;
    // UnitAnswers: the function that was answered and the length of its
    // reply's PDU. UnitException: the function and code of the last
    // exception. UnitAbsent: the code. UnitInvalid: why, and the unit id the
    // reply carried.
    uint8_t function = 0;
    int replyLength = 0;
    uint8_t exceptionCode = 0;
    ReplyFault fault = FaultNone;
    uint8_t replyUnit = 0;
    // Identification was asked and the device gave at least one basic
    // object; texts as sent (vendor, product code, revision), empty where
    // missing.
    bool identified = false;
    std::array<std::string, kBasicObjects> identity;
};

// A scan of the units first..last. Owned by the thread that drives it.
struct UnitScan {
    int first = 1;
    int last = 247;
    bool identify = false;  // ask function 43/14 of every unit that is not silent or absent
    int unit = 1;           // the unit being asked; last + 1 when the scan is over
    size_t probe = 0;       // index in kProbeFunctions of the probe asked next
    bool identifying = false;
    DeviceIdCollection collection;    // while identifying
    UnitResult current;               // the unit being asked, so far
    std::vector<UnitResult> results;  // the units done, in order
};

// A scan of first..last (0..255, first <= last).
UnitScan StartUnitScan(int first, int last, bool identify);

// The request to send next; false when the scan is over.
bool NextUnitRequest(const UnitScan& scan, ScanRequest* request);

// What came of the request NextUnitRequest gave. True when it finished a
// unit, whose result is then scan.results.back().
bool TakeUnitReply(UnitScan& scan, const ScanReply& reply);

// True when two units or more were asked and every one of them was
// answered alike: the same status (answers, exception or invalid), the
// same function and length or exception code, the same unit id in an
// invalid reply, the same identity. Values are not compared: they may
// change between two probes. Such a device most likely ignores the unit
// id.
bool AllUnitsAlike(const std::vector<UnitResult>& results);
