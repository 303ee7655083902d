// A scan's findings in plain words, and the count of units by status.
#include <gtest/gtest.h>

#include <set>

#include "dataview/scan_words.h"
#include "modbus/reply_judge.h"

namespace {

UnitResult Unit(UnitStatus status, uint8_t function, uint8_t exceptionCode = 0)
{
    UnitResult r;
    r.status = status;
    r.function = function;
    r.exceptionCode = exceptionCode;
    return r;
}

}  // namespace

TEST(ScanWords, UnitStatusSaysWhatAnsweredAndHow)
{
    UnitResult wrongUnit = Unit(UnitInvalid, 3);
    wrongUnit.fault = FaultUnitId;
    UnitResult badCount = Unit(UnitInvalid, 4);
    badCount.fault = FaultByteCount;
    const struct {
        UnitResult result;
        std::string words;
    } cases[] = {
        {Unit(UnitAnswers, 3), "answers (function 03: read holding registers)"},
        {Unit(UnitAnswers, 2), "answers (function 02: read discrete inputs)"},
        {Unit(UnitException, 2, 2), "exception 02 (illegal data address) to function 02: read discrete inputs"},
        {Unit(UnitException, 1, 0x0C), "exception 0C to function 01: read coils"},
        {Unit(UnitAbsent, 3, 0x0B), "absent (gateway: target failed to respond)"},
        {Unit(UnitAbsent, 3, 0x0A), "absent (gateway: path unavailable)"},
        {Unit(UnitSilent, 3), "silent"},
        {wrongUnit, "invalid: the reply carries unit id 0"},
        {badCount, std::string("invalid reply (") + ReplyFaultText(FaultByteCount) + ")"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(UnitStatusWords(c.result), c.words);
}

TEST(ScanWords, RangeWordsAndUnitCounts)
{
    std::set<std::string> seen;
    for (RangeStatus s : {RangeReadable, RangeUnreadable, RangeException, RangeAbsent, RangeSilent, RangeInvalid})
        EXPECT_TRUE(seen.insert(RangeStatusWords(s)).second) << RangeStatusName(s);
    EXPECT_STREQ(RangeStatusWords(RangeReadable), "readable");

    EXPECT_EQ(UnitCountsText({}), "");
    EXPECT_EQ(UnitCountsText({Unit(UnitSilent, 3), Unit(UnitAnswers, 3), Unit(UnitSilent, 3), Unit(UnitAbsent, 3),
                              Unit(UnitInvalid, 3)}),
              "1 answers, 1 absent, 2 silent, 1 invalid");
}
