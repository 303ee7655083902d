#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "common/number_rule.h"

TEST(NumberRule, DecimalHexAndBinaryPrefixes)
{
    EXPECT_EQ(TextToNumber("1234"), 1234);
    EXPECT_EQ(TextToNumber("007"), 7);
    EXPECT_EQ(TextToNumber("$1F"), 31);
    EXPECT_EQ(TextToNumber("$abCD"), 0xABCD);
    EXPECT_EQ(TextToNumber("%101"), 5);
    // "0x" is not a prefix: decimal reading stops at the "x".
    EXPECT_EQ(TextToNumber("0x10"), 0);
}

TEST(NumberRule, StopsAtTheFirstCharacterThatIsNoDigitOfTheBase)
{
    EXPECT_EQ(TextToNumber("12a"), 12);
    EXPECT_EQ(TextToNumber("12 34"), 12);
    EXPECT_EQ(TextToNumber("$1G"), 1);
    EXPECT_EQ(TextToNumber("%1021"), 2);
    EXPECT_EQ(TextToNumber("%2"), 0);
}

TEST(NumberRule, NoDigitsGiveZero)
{
    for (const char* text : {"", "abc", "$", "%", "-", "+", "$G", " \t", "--5", "+-5", "- 5", "$-5"})
        EXPECT_EQ(TextToNumber(text), 0) << '"' << text << '"';
}

TEST(NumberRule, BlanksAndSign)
{
    EXPECT_EQ(TextToNumber(" \t-7x"), -7);
    EXPECT_EQ(TextToNumber("\t\t  +42"), 42);
    EXPECT_EQ(TextToNumber("-$10"), -16);
    EXPECT_EQ(TextToNumber("+%11"), 3);
    // Only spaces and tabs are blanks.
    EXPECT_EQ(TextToNumber("\n5"), 0);
    EXPECT_EQ(TextToNumber("\r5"), 0);
}

TEST(NumberRule, WrapsAsSigned64BitWithoutUndefinedBehaviour)
{
    constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
    EXPECT_EQ(TextToNumber("9223372036854775807"), std::numeric_limits<int64_t>::max());
    EXPECT_EQ(TextToNumber("9223372036854775808"), kMin);
    EXPECT_EQ(TextToNumber("-9223372036854775808"), kMin);
    EXPECT_EQ(TextToNumber("18446744073709551616"), 0);
    EXPECT_EQ(TextToNumber("18446744073709551617"), 1);
    EXPECT_EQ(TextToNumber("$FFFFFFFFFFFFFFFF"), -1);
    EXPECT_EQ(TextToNumber("$1FFFFFFFFFFFFFFFE"), -2);
    EXPECT_EQ(TextToNumber("-$8000000000000000"), kMin);
    EXPECT_EQ(TextToNumber("%1" + std::string(63, '0')), kMin);
    // 10^20 - 1 reduced modulo 2^64.
    EXPECT_EQ(TextToNumber("99999999999999999999"), INT64_C(7766279631452241919));
}

TEST(NumberRule, Int32IsTheLow32Bits)
{
    EXPECT_EQ(TextToInt32("70000"), 70000);
    EXPECT_EQ(TextToInt32("-1"), -1);
    EXPECT_EQ(TextToInt32("4294967295"), -1);
    EXPECT_EQ(TextToInt32("4294967298"), 2);
    EXPECT_EQ(TextToInt32("$80000000"), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(TextToInt32("$100000005"), 5);
    EXPECT_EQ(TextToInt32("-2147483649"), std::numeric_limits<int32_t>::max());
}

TEST(NumberRule, AWholeNumberLeavesNothingUnreadAndNeverWraps)
{
    auto whole = [](const char* text) {
        auto n = ParseWholeNumber(text);
        return n ? std::to_string(n->value) + "/" + std::to_string(n->digits) : std::string("-");
    };
    EXPECT_EQ(whole(" \t-0042 \t"), "-42/4");
    EXPECT_EQ(whole("$00fF"), "255/4");
    EXPECT_EQ(whole("+%101"), "5/3");
    EXPECT_EQ(whole("9223372036854775807"), "9223372036854775807/19");
    EXPECT_EQ(whole("-9223372036854775808"), "-9223372036854775808/19");
    for (const char* refused : {"", "  ", "-", "$", "12x", "1 2", "0x1F", "\n5", "5\n", "9223372036854775808",
                                "-9223372036854775809", "18446744073709551617", "$10000000000000000"})
        EXPECT_EQ(whole(refused), "-") << '"' << refused << '"';
}

TEST(NumberRule, AWholeMagnitudeTellsAnOverflowFromNoNumber)
{
    auto magnitude = [](const char* text) {
        auto n = ParseWholeMagnitude(text);
        if (!n)
            return std::string("-");
        return std::string(n->negative ? "-" : "+") + std::to_string(n->magnitude) + (n->overflow ? " overflow" : "");
    };
    EXPECT_EQ(magnitude(" 18446744073709551615\t"), "+18446744073709551615");
    EXPECT_EQ(magnitude("$FFFFFFFFFFFFFFFF"), "+18446744073709551615");
    EXPECT_EQ(magnitude("-%1"), "-1");
    EXPECT_EQ(magnitude("-0"), "-0");
    EXPECT_EQ(magnitude("18446744073709551617"), "+1 overflow");
    for (const char* refused : {"", "-", "12x", "1 2", "0x1F"})
        EXPECT_EQ(magnitude(refused), "-") << '"' << refused << '"';
}
