// Text of the message log's lines. Pure: bytes in, text out.
#pragma once

#include <cstdint>
#include <string>

// " 00 01 0A FF": each byte as a space and two upper-case hex digits.
std::string HexDump(const uint8_t* bytes, int count);

// "->: 12 bytes 00 01 00 00 00 06 01 02 00 01 00 64"
std::string FormatRequestLine(const uint8_t* bytes, int count);
// "POKE ->: 12 bytes 00 64 ..."
std::string FormatWriteRequestLine(const uint8_t* bytes, int count);
// "<-: 9 bytes 00 04 00 00 00 03 01 83 02"
std::string FormatResponseLine(const uint8_t* bytes, int count);
// "IGNORED <-: 15 bytes 00 03 ...": bytes read but not taken as a reply
std::string FormatIgnoredLine(const uint8_t* bytes, int count);
// "IGNORED <-: 99997 more, 1199964 bytes in all": what a transaction
// ignored beyond the lines it logged one by one
std::string FormatIgnoredSummaryLine(int64_t pieces, int64_t bytes);
// "<> ElapsedTime: 16 [mS]"
std::string FormatElapsedLine(int64_t milliseconds);
