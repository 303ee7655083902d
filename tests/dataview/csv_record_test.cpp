// The text of a recording: fields, times, header blocks and rows, read back
// with a strict CSV reader.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dataview/csv_record.h"
#include "tests/dataview/csv_parse.h"
#include "tests/dataview/sample_fixture.h"

namespace {

constexpr int64_t kTime = 1796710503123;  // 2026-12-08T06:15:03.123Z

// S = 1, three rows: Discrete Inputs and Coils "Bit", Input Registers
// "Decimal", Holding Registers "Hex".
const std::vector<int> kAllFour = {1, 1, 3, 2};

}  // namespace

TEST(CsvRecord, FieldsAreQuotedWhenTheyMustBeOrAreAskedTo)
{
    EXPECT_EQ(CsvField("40001"), "40001");
    EXPECT_EQ(CsvField(""), "");
    EXPECT_EQ(CsvField("a,b"), "\"a,b\"");
    EXPECT_EQ(CsvField("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(CsvField("two\r\nlines"), "\"two\r\nlines\"");
    EXPECT_EQ(CsvField("x\ny"), "\"x\ny\"");
    EXPECT_EQ(CsvField("0001", true), "\"0001\"");
    EXPECT_EQ(ParseCsv(CsvField("a,\"b\"\r\nc") + "," + CsvField("0001", true) + "\r\n"),
              (CsvRows{{"a,\"b\"\r\nc", "0001"}}));
}

TEST(CsvRecord, TimesAreLocalIsoWithMillisecondsAndTheOffset)
{
    EXPECT_EQ(CsvTimeText(kTime, 60), "2026-12-08T07:15:03.123+01:00");
    EXPECT_EQ(CsvTimeText(kTime, 0), "2026-12-08T06:15:03.123+00:00");
    // Across a leap day in both directions, an offset with minutes.
    EXPECT_EQ(CsvTimeText(1709251199005, 60), "2024-03-01T00:59:59.005+01:00");
    EXPECT_EQ(CsvTimeText(1709251199005, -330), "2024-02-29T18:29:59.005-05:30");
    EXPECT_EQ(CsvTimeText(-1, 0), "1969-12-31T23:59:59.999+00:00");
}

TEST(CsvRecord, BadResponsesInAFixedOrderWithoutSeparators)
{
    CycleSample sample;
    EXPECT_EQ(BadResponsesText(sample.bad), "");
    NoteBadResponse(sample, BadException, 11);
    NoteBadResponse(sample, BadTimeout);
    NoteBadResponse(sample, BadException, 2);
    NoteBadResponse(sample, BadLinkLost);
    NoteBadResponse(sample, BadException, 11);
    NoteBadResponse(sample, BadWrongLength);
    NoteBadResponse(sample, BadInvalid);
    EXPECT_EQ(BadResponsesText(sample.bad),
              "timeout 1; wrong length 1; invalid 1; connection lost 1; exception 2: 1; exception 11: 2");
}

TEST(CsvRecord, HeaderAndRowHoldTheShownTablesInOrder)
{
    // Coils 0x05 (1 0 1), Holding Registers 00AF 0001 FFFE; Discrete
    // Inputs and Input Registers failed.
    CycleSample sample = MakeSample(kTime, 1, 3, kAllFour, {{2, {0x05}}, {4, {0x00, 0xAF, 0x00, 0x01, 0xFF, 0xFE}}});
    NoteBadResponse(sample, BadTimeout);
    NoteBadResponse(sample, BadException, 2);

    EXPECT_EQ(CsvHeaderLine(sample.block), "\"Time\",\"10001\",\"10002\",\"10003\",\"0001\",\"0002\",\"0003\","
                                           "\"30001\",\"30002\",\"30003\",\"40001\",\"40002\",\"40003\","
                                           "\"Bad responses\"\r\n");
    EXPECT_EQ(CsvRowLine(sample), "2026-12-08T07:15:03.123+01:00,,,,1,0,1,,,,\"00AF\",\"0001\",\"FFFE\","
                                  "timeout 1; exception 2: 1\r\n");

    // Tables not shown have no columns; Binary is quoted, Decimal is not;
    // an answer with one register of two leaves the second cell empty.
    const CycleSample two = MakeSample(kTime, 100, 2, {0, 0, 1, 3}, {{3, {0x00, 0x05, 0x00, 0x06}}, {4, {0xFF, 0xFF}}});
    EXPECT_EQ(CsvHeaderLine(two.block), "\"Time\",\"30100\",\"30101\",\"40100\",\"40101\",\"Bad responses\"\r\n");
    EXPECT_EQ(CsvRowLine(two), "2026-12-08T07:15:03.123+01:00,\"0000000000000101\",\"0000000000000110\",65535,,\r\n");
}

TEST(CsvRecord, ANewBlockStartsWithAnEmptyLineAndAHeader)
{
    const CycleSample first = MakeSample(kTime, 1, 2, {0, 0, 0, 3}, {{4, {0, 1, 0, 2}}});
    const CycleSample same = MakeSample(kTime + 10, 1, 2, {0, 0, 0, 3}, {{4, {0, 3, 0, 4}}});
    const CycleSample longer = MakeSample(kTime + 20, 1, 3, {0, 0, 0, 3}, {{4, {0, 5, 0, 6, 0, 7}}});
    const CycleSample hex = MakeSample(kTime + 30, 1, 3, {0, 0, 0, 2}, {{4, {0, 8, 0, 9, 0, 10}}});
    const CycleSample moved = MakeSample(kTime + 40, 5, 3, {0, 0, 0, 2}, {{4, {0, 11, 0, 12, 0, 13}}});

    std::string text = CsvRecordChunk(first, nullptr);
    EXPECT_EQ(CsvRecordChunk(same, &first.block), CsvRowLine(same));
    text += CsvRecordChunk(same, &first.block);
    text += CsvRecordChunk(longer, &same.block);
    text += CsvRecordChunk(hex, &longer.block);
    text += CsvRecordChunk(moved, &hex.block);

    const std::string t = "2026-12-08T07:15:03.1";
    EXPECT_EQ(ParseCsv(text), (CsvRows{
                                  {"Time", "40001", "40002", "Bad responses"},
                                  {t + "23+01:00", "1", "2", ""},
                                  {t + "33+01:00", "3", "4", ""},
                                  {},
                                  {"Time", "40001", "40002", "40003", "Bad responses"},
                                  {t + "43+01:00", "5", "6", "7", ""},
                                  {},
                                  {"Time", "40001", "40002", "40003", "Bad responses"},
                                  {t + "53+01:00", "0008", "0009", "000A", ""},
                                  {},
                                  {"Time", "40005", "40006", "40007", "Bad responses"},
                                  {t + "63+01:00", "000B", "000C", "000D", ""},
                              }));
}

TEST(CycleSample, ValuesAreTakenAsTheColumnShowsThemAndRaw)
{
    // 10 coils from 0x05 0x02; registers from an answer one byte short of
    // its third register.
    CycleSample sample =
        MakeSample(kTime, 1, 10, {0, 1, 0, 1}, {{2, {0x05, 0x02}}, {4, {0x80, 0x00, 0x00, 0x01, 0x7F}}});
    const TableSample& coils = sample.tables[1];
    EXPECT_TRUE(coils.valid);
    EXPECT_EQ(coils.texts, (std::vector<std::string>{"1", "0", "1", "0", "0", "0", "0", "0", "0", "1"}));
    EXPECT_EQ(coils.words, (std::vector<uint16_t>{1, 0, 1, 0, 0, 0, 0, 0, 0, 1}));
    const TableSample& registers = sample.tables[3];
    EXPECT_EQ(registers.texts, (std::vector<std::string>{"1000000000000000", "0000000000000001"}));
    EXPECT_EQ(registers.words, (std::vector<uint16_t>{0x8000, 0x0001}));
    EXPECT_FALSE(sample.tables[0].valid);

    // A table not shown takes nothing; Begin clears the record.
    const std::vector<uint8_t> response = ReadResponse(1, {0xFF});
    NoteTableRead(sample, 1, response.data(), static_cast<int>(response.size()));
    EXPECT_FALSE(sample.tables[0].valid);
    const int none[4] = {0, 0, 0, 3};
    BeginCycleSample(sample, 7, -4, none);
    EXPECT_EQ(sample.block, (SampleBlock{7, 0, {0, 0, 0, 3}}));
    EXPECT_TRUE(sample.tables[1].texts.empty());
}
