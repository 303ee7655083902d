#include "modbus/log_format.h"

namespace {

// "<prefix><count> bytes<dump>"; a negative count dumps nothing.
std::string CountedDump(const char* prefix, const uint8_t* bytes, int count)
{
    std::string line = prefix;
    line += std::to_string(count);
    line += " bytes";
    line += HexDump(bytes, count);
    return line;
}

}  // namespace

std::string HexDump(const uint8_t* bytes, int count)
{
    static const char kDigits[] = "0123456789ABCDEF";
    std::string dump;
    if (!bytes || count <= 0)
        return dump;
    dump.reserve(static_cast<size_t>(count) * 3);
    for (int i = 0; i < count; ++i) {
        dump += ' ';
        dump += kDigits[bytes[i] >> 4];
        dump += kDigits[bytes[i] & 0x0F];
    }
    return dump;
}

std::string FormatRequestLine(const uint8_t* bytes, int count)
{
    return CountedDump("->: ", bytes, count);
}

std::string FormatWriteRequestLine(const uint8_t* bytes, int count)
{
    return CountedDump("POKE ->: ", bytes, count);
}

std::string FormatResponseLine(const uint8_t* bytes, int count)
{
    return CountedDump("<-: ", bytes, count);
}

std::string FormatIgnoredLine(const uint8_t* bytes, int count)
{
    return CountedDump("IGNORED <-: ", bytes, count);
}

std::string FormatIgnoredSummaryLine(int64_t pieces, int64_t bytes)
{
    return "IGNORED <-: " + std::to_string(pieces) + " more, " + std::to_string(bytes) + " bytes in all";
}

std::string FormatElapsedLine(int64_t milliseconds)
{
    return "<> ElapsedTime: " + std::to_string(milliseconds) + " [mS]";
}
