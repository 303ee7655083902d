// The results of a scan as CSV: one line per unit, or one per range of a
// register map. Pure: results in, text out. Lines come without their line
// end, which the writer chooses.
#pragma once

#include <string>
#include <vector>

#include "modbus/register_map.h"
#include "modbus/unit_scan.h"

constexpr const char* kUnitCsvHeader = "unit,status,vendor,product,revision";
constexpr const char* kMapCsvHeader = "table,first,last,status";

// An identification object's bytes as text: printable ASCII as it is, a
// backslash as \\, any other byte as \xNN; the NULs and blanks a device
// pads a fixed-size field with are dropped from the end.
std::string IdentityText(const std::string& bytes);

// "7,answers,Vendor,Product,1.0": the identity texts quoted as CSV needs,
// empty when the unit was not identified.
std::string UnitCsvLine(const UnitResult& result);

// "holding-registers,100,199,unreadable".
std::string MapCsvLine(MapTable table, const MapRange& range);

// A whole file as the command writes it: the header and a line for each
// unit or range, each ended by "\n".
std::string UnitCsvText(const std::vector<UnitResult>& results);
std::string MapCsvText(MapTable table, const std::vector<MapRange>& ranges);
