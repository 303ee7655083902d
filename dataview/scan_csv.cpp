#include "dataview/scan_csv.h"

#include <cstdio>

#include "dataview/csv_record.h"

std::string IdentityText(const std::string& bytes)
{
    size_t end = bytes.size();
    while (end > 0 && (bytes[end - 1] == '\0' || bytes[end - 1] == ' '))
        end--;
    std::string text;
    for (size_t i = 0; i < end; i++) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c == '\\') {
            text += "\\\\";
        } else if (c >= 0x20 && c < 0x7F) {
            text += static_cast<char>(c);
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", c);
            text += escape;
        }
    }
    return text;
}

std::string UnitCsvLine(const UnitResult& result)
{
    std::string line = std::to_string(result.unit) + kCsvSeparator + UnitStatusName(result.status);
    for (const std::string& object : result.identity)
        line += kCsvSeparator + (result.identified ? CsvField(IdentityText(object)) : std::string());
    return line;
}

std::string MapCsvLine(MapTable table, const MapRange& range)
{
    return std::string(MapTableName(table)) + kCsvSeparator + std::to_string(range.first) + kCsvSeparator +
           std::to_string(range.last) + kCsvSeparator + RangeStatusName(range.status);
}

std::string UnitCsvText(const std::vector<UnitResult>& results)
{
    std::string text = std::string(kUnitCsvHeader) + "\n";
    for (const UnitResult& r : results)
        text += UnitCsvLine(r) + "\n";
    return text;
}

std::string MapCsvText(MapTable table, const std::vector<MapRange>& ranges)
{
    std::string text = std::string(kMapCsvHeader) + "\n";
    for (const MapRange& range : ranges)
        text += MapCsvLine(table, range) + "\n";
    return text;
}
