#include "dataview/scan_words.h"

#include <cctype>
#include <cstdio>

#include "modbus/reply_judge.h"
#include "modbus/response_stats.h"

namespace {

// "03: read holding registers": a probe's function code and what it reads.
std::string ProbeWords(uint8_t function)
{
    const char* reads = function == 1   ? "read coils"
                        : function == 2 ? "read discrete inputs"
                        : function == 3 ? "read holding registers"
                        : function == 4 ? "read input registers"
                                        : nullptr;
    char code[8];
    std::snprintf(code, sizeof code, "%02X", function);
    return reads ? std::string(code) + ": " + reads : std::string(code);
}

// "02 (illegal data address)": the code as engineers write it, and its name.
std::string ExceptionWords(uint8_t exceptionCode)
{
    char code[8];
    std::snprintf(code, sizeof code, "%02X", exceptionCode);
    std::string name = ExceptionName(exceptionCode);
    if (name.empty())
        return code;
    for (char& c : name)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return std::string(code) + " (" + name + ")";
}

}  // namespace

std::string UnitStatusWords(const UnitResult& result)
{
    switch (result.status) {
    case UnitAnswers:
        return "answers (function " + ProbeWords(result.function) + ")";
    case UnitException:
        return "exception " + ExceptionWords(result.exceptionCode) + " to function " + ProbeWords(result.function);
    case UnitAbsent:
        return result.exceptionCode == kExceptionGatewayPath ? "absent (gateway: path unavailable)"
                                                             : "absent (gateway: target failed to respond)";
    case UnitSilent:
        return "silent";
    case UnitInvalid:
        if (result.fault == FaultUnitId)
            return "invalid: the reply carries unit id " + std::to_string(result.replyUnit);
        return std::string("invalid reply (") + ReplyFaultText(result.fault) + ")";
    }
    return "";
}

const char* RangeStatusWords(RangeStatus status)
{
    switch (status) {
    case RangeReadable:
        return "readable";
    case RangeUnreadable:
        return "unreadable (exception 02 or 03)";
    case RangeException:
        return "refused with another exception";
    case RangeAbsent:
        return "absent (gateway: nothing behind it)";
    case RangeSilent:
        return "silent (no reply)";
    case RangeInvalid:
        return "invalid reply";
    }
    return "";
}

std::string UnitCountsText(const std::vector<UnitResult>& results)
{
    int count[UnitInvalid + 1] = {};
    for (const UnitResult& r : results)
        count[r.status]++;
    std::string text;
    for (UnitStatus status : {UnitAnswers, UnitException, UnitAbsent, UnitSilent, UnitInvalid})
        if (count[status] > 0)
            text += (text.empty() ? "" : ", ") + std::to_string(count[status]) + " " + UnitStatusName(status);
    return text;
}
