// The text of a CSV recording: header lines, rows, and the fields in them.
// Pure: samples in, text out.
//
// The file is RFC 4180 CSV in UTF-8 without a byte-order mark (everything
// written is ASCII anyway), comma-separated, lines ended by CRLF: the RFC's
// line end and what Python's csv writer itself writes; Python's csv reader
// and LibreOffice take it as they take LF. A field is quoted when it holds
// a comma, a quote or a line break, a quote inside doubled. Header fields,
// and Binary and Hex values, are always quoted: a spreadsheet told to take
// quoted fields as text then keeps "0001" and "0000000000000101" as shown
// instead of turning them into the numbers 1 and 101. The headers name
// their table, so they stay texts in any spreadsheet.
#pragma once

#include <cstdint>
#include <string>

#include "dataview/cycle_sample.h"

constexpr char kCsvSeparator = ',';
constexpr const char* kCsvLineEnd = "\r\n";

// The header of the last column.
constexpr const char* kBadResponsesHeader = "Bad responses";

// One field: quoted when it must be, or always with quote set.
std::string CsvField(const std::string& text, bool quote = false);

// ISO 8601 local time with milliseconds and the UTC offset:
// "2026-12-08T07:15:03.123+01:00"; "+00:00" for UTC, never "Z".
std::string CsvTimeText(int64_t ms, int32_t utcOffsetMinutes);

// The cycle's bad responses by cause, the causes in a fixed order and only
// those that occurred: "timeout 1; wrong length 2; invalid 1; connection
// lost 1; exception 2: 1; exception 11: 3" (exception code: count). Empty
// when there were none. Holds no comma, quote or line break.
std::string BadResponsesText(const BadResponseCounts& bad);

// "Time", one column per address of each shown table in table order headed
// by what it is and the list's label ("Coil 0001", "Holding Register
// 40001": a text, which no spreadsheet turns into the number 1), "Bad
// responses"; with the line end.
std::string CsvHeaderLine(const SampleBlock& block);

// The sample's time, its values as the columns showed them (a table whose
// read failed, and rows the answer held no value for, left empty), its bad
// responses; with the line end. Always as many fields as its header has.
std::string CsvRowLine(const CycleSample& sample);

// What a recording appends for a sample, given the block of the sample
// before it (null for the first): the sample's row, preceded by a header
// line when the block is new or changed, and, before every header but the
// first, one empty line that keeps the blocks apart for the eye (Python's
// csv reader returns it as an empty row).
std::string CsvRecordChunk(const CycleSample& sample, const SampleBlock* previous);
