#include "dataview/csv_record.h"

#include <chrono>
#include <cstdio>

#include "common/table_numbers.h"
#include "dataview/value_formats.h"

namespace {

// Binary and Hex register texts keep their digits only as text.
bool ValuesQuoted(int table, int format)
{
    return (table == TableInputRegisters || table == TableHoldingRegisters) &&
           (format == FormatBinary || format == FormatHex);
}

void AppendCount(std::string& text, const std::string& name, uint32_t count)
{
    if (count == 0)
        return;
    if (!text.empty())
        text += "; ";
    text += name + " " + std::to_string(count);
}

}  // namespace

std::string CsvField(const std::string& text, bool quote)
{
    if (!quote && text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string field = "\"";
    for (char c : text) {
        if (c == '"')
            field += '"';
        field += c;
    }
    return field + '"';
}

std::string CsvTimeText(int64_t ms, int32_t utcOffsetMinutes)
{
    using namespace std::chrono;
    const sys_time<milliseconds> local{milliseconds{ms + int64_t{utcOffsetMinutes} * 60000}};
    const sys_days day = floor<days>(local);
    const year_month_day date{day};
    const hh_mm_ss<milliseconds> time{local - day};
    const int32_t offset = utcOffsetMinutes < 0 ? -utcOffsetMinutes : utcOffsetMinutes;
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03d%c%02d:%02d", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                  static_cast<int>(time.seconds().count()), static_cast<int>(time.subseconds().count()),
                  utcOffsetMinutes < 0 ? '-' : '+', offset / 60, offset % 60);
    return text;
}

std::string BadResponsesText(const BadResponseCounts& bad)
{
    std::string text;
    AppendCount(text, "timeout", bad.timeouts);
    AppendCount(text, "wrong length", bad.wrongLength);
    AppendCount(text, "invalid", bad.invalid);
    AppendCount(text, "connection lost", bad.linkLost);
    for (const auto& [code, count] : bad.exceptions)
        AppendCount(text, "exception " + std::to_string(code) + ":", count);
    return text;
}

std::string CsvHeaderLine(const SampleBlock& block)
{
    std::string line = CsvField("Time", true);
    for (int t = TableDiscreteInputs; t <= TableHoldingRegisters; t++) {
        if (!TableShown(block, t))
            continue;
        for (int64_t r = 0; r < block.rows; r++)
            line +=
                kCsvSeparator + CsvField(std::string(TableEntryName(t)) + " " + TableLabel(t, block.start, r), true);
    }
    return line + kCsvSeparator + CsvField(kBadResponsesHeader, true) + kCsvLineEnd;
}

std::string CsvRowLine(const CycleSample& sample)
{
    std::string line = CsvTimeText(sample.timeMs, sample.utcOffsetMinutes);
    for (int t = TableDiscreteInputs; t <= TableHoldingRegisters; t++) {
        if (!TableShown(sample.block, t))
            continue;
        const TableSample& table = sample.tables[static_cast<size_t>(t - 1)];
        const bool quoted = ValuesQuoted(t, sample.block.formats[static_cast<size_t>(t - 1)]);
        for (int64_t r = 0; r < sample.block.rows; r++) {
            line += kCsvSeparator;
            const auto row = static_cast<size_t>(r);
            if (table.valid && row < table.texts.size())
                line += CsvField(table.texts[row], quoted);
        }
    }
    return line + kCsvSeparator + CsvField(BadResponsesText(sample.bad)) + kCsvLineEnd;
}

std::string CsvRecordChunk(const CycleSample& sample, const SampleBlock* previous)
{
    if (previous && *previous == sample.block)
        return CsvRowLine(sample);
    return (previous ? kCsvLineEnd : "") + CsvHeaderLine(sample.block) + CsvRowLine(sample);
}
