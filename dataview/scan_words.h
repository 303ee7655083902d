// What a scan found, in plain words for a person: the status of a unit with
// the probe that told it, the status of a range, and a count of the units
// by status. Pure: results in, text out.
#pragma once

#include <string>
#include <vector>

#include "modbus/register_map.h"
#include "modbus/unit_scan.h"

// "answers (function 03: read holding registers)",
// "exception 02 (illegal data address) to function 02: read discrete inputs",
// "absent (gateway: target failed to respond)", "silent",
// "invalid: the reply carries unit id 0".
std::string UnitStatusWords(const UnitResult& result);

// "readable", "unreadable (exception 02 or 03)", "silent", ...
const char* RangeStatusWords(RangeStatus status);

// "1 answers, 3 silent": how many units had each status, in the order
// answers, exception, absent, silent, invalid; statuses none had are left
// out.
std::string UnitCountsText(const std::vector<UnitResult>& results);
