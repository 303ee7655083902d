// The text of a recording: fields, times, header blocks and rows, and the
// sample they are made from.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dataview/csv_record.h"
#include "tests/dataview/csv_parse.h"
#include "tests/dataview/sample_fixture.h"

namespace {

constexpr int64_t kTime = 1796710503123;  // 2026-12-08T06:15:03.123Z

}  // namespace

TEST(CsvRecord, FieldsAreQuotedWhenNeededAndTimesAreLocalIso)
{
    EXPECT_EQ(CsvField("40001"), "40001");
    EXPECT_EQ(CsvField("0001", true), "\"0001\"");
    const std::string odd = "a,\"b\"\r\nc\nd";
    EXPECT_EQ(CsvField(odd), "\"a,\"\"b\"\"\r\nc\nd\"");
    EXPECT_EQ(ParseCsv(CsvField(odd) + ",\r\n"), (CsvRows{{odd, ""}}));

    EXPECT_EQ(CsvTimeText(kTime, 60), "2026-12-08T07:15:03.123+01:00");
    EXPECT_EQ(CsvTimeText(kTime, 0), "2026-12-08T06:15:03.123+00:00");
    // Across a leap day both ways, an offset with minutes, before 1970.
    EXPECT_EQ(CsvTimeText(1709251199005, 60), "2024-03-01T00:59:59.005+01:00");
    EXPECT_EQ(CsvTimeText(1709251199005, -330), "2024-02-29T18:29:59.005-05:30");
    EXPECT_EQ(CsvTimeText(-1, 0), "1969-12-31T23:59:59.999+00:00");
}

TEST(CsvRecord, HeaderAndRowHoldTheShownTablesInOrder)
{
    // S = 1, three rows, "Bit", "Bit", "Decimal", "Hex": Coils read 1 0 1,
    // Holding Registers 00AF 0001 FFFE, the other two failed.
    CycleSample sample =
        MakeSample(kTime, 1, 3, {1, 1, 3, 2}, {{2, {0x05}}, {4, {0x00, 0xAF, 0x00, 0x01, 0xFF, 0xFE}}});
    for (OutcomeKind kind : {OutcomeException, OutcomeTimeout, OutcomeException, OutcomeLinkLost, OutcomeIncomplete,
                             OutcomeInvalid, OutcomeValid})
        NoteBadResponse(sample, {kind, FaultNone, LossNone, uint8_t{11}});
    NoteBadResponse(sample, {OutcomeException, FaultNone, LossNone, 2});
    EXPECT_EQ(CsvHeaderLine(sample.block),
              "\"Time\",\"Discrete Input 10001\",\"Discrete Input 10002\",\"Discrete Input 10003\","
              "\"Coil 0001\",\"Coil 0002\",\"Coil 0003\",\"Input Register 30001\",\"Input Register 30002\","
              "\"Input Register 30003\",\"Holding Register 40001\",\"Holding Register 40002\","
              "\"Holding Register 40003\",\"Bad responses\"\r\n");
    EXPECT_EQ(CsvRowLine(sample), "2026-12-08T07:15:03.123+01:00,,,,1,0,1,,,,\"00AF\",\"0001\",\"FFFE\",timeout 1; "
                                  "wrong length 1; invalid 1; connection lost 1; exception 2: 1; exception 11: 2\r\n");

    // Hidden tables have no columns; Binary is quoted, Decimal not; an
    // answer with one register of two leaves the other cell empty; no bad
    // response, no text.
    const CycleSample two = MakeSample(kTime, 100, 2, {0, 0, 1, 3}, {{3, {0, 5, 0, 6}}, {4, {0xFF, 0xFF}}});
    EXPECT_EQ(CsvHeaderLine(two.block), "\"Time\",\"Input Register 30100\",\"Input Register 30101\","
                                        "\"Holding Register 40100\",\"Holding Register 40101\",\"Bad responses\"\r\n");
    EXPECT_EQ(CsvRowLine(two), "2026-12-08T07:15:03.123+01:00,\"0000000000000101\",\"0000000000000110\",65535,,\r\n");
}

TEST(CsvRecord, AChangedBlockStartsAnEmptyLineAndAHeader)
{
    const CycleSample first = MakeSample(kTime, 1, 2, {0, 0, 0, 3}, {{4, {0, 1, 0, 2}}});
    const CycleSample same = MakeSample(kTime + 10, 1, 2, {0, 0, 0, 3}, {{4, {0, 3, 0, 4}}});
    const CycleSample hex = MakeSample(kTime + 20, 1, 2, {0, 0, 0, 2}, {{4, {0, 5, 0, 6}}});
    const CycleSample moved = MakeSample(kTime + 30, 5, 3, {0, 0, 0, 2}, {{4, {0, 7, 0, 8, 0, 9}}});
    const std::string text = CsvRecordChunk(first, nullptr) + CsvRecordChunk(same, &first.block) +
                             CsvRecordChunk(hex, &same.block) + CsvRecordChunk(moved, &hex.block);
    const std::string t = "2026-12-08T07:15:03.1";
    EXPECT_EQ(ParseCsv(text), (CsvRows{{"Time", "Holding Register 40001", "Holding Register 40002", "Bad responses"},
                                       {t + "23+01:00", "1", "2", ""},
                                       {t + "33+01:00", "3", "4", ""},
                                       {},
                                       {"Time", "Holding Register 40001", "Holding Register 40002", "Bad responses"},
                                       {t + "43+01:00", "0005", "0006", ""},
                                       {},
                                       {"Time", "Holding Register 40005", "Holding Register 40006",
                                        "Holding Register 40007", "Bad responses"},
                                       {t + "53+01:00", "0007", "0008", "0009", ""}}));
}

TEST(CycleSample, ValuesAreTakenAsTheColumnShowsThemAndRaw)
{
    // Ten coils from 05 02; registers from an answer a byte short of a third.
    CycleSample sample = MakeSample(kTime, 1, 10, {0, 1, 0, 1}, {{2, {0x05, 0x02}}, {4, {0x80, 0, 0, 1, 0x7F}}});
    EXPECT_EQ(sample.tables[1].texts, (std::vector<std::string>{"1", "0", "1", "0", "0", "0", "0", "0", "0", "1"}));
    EXPECT_EQ(sample.tables[1].words, (std::vector<uint16_t>{1, 0, 1, 0, 0, 0, 0, 0, 0, 1}));
    EXPECT_EQ(sample.tables[3].texts, (std::vector<std::string>{"1000000000000000", "0000000000000001"}));
    EXPECT_EQ(sample.tables[3].words, (std::vector<uint16_t>{0x8000, 0x0001}));
    // A hidden table takes nothing; Begin clears the record.
    const uint8_t bits = 0xFF;
    NoteTableRead(sample, 1, &bits, 1);
    EXPECT_FALSE(sample.tables[0].valid);
    const int selectors[4] = {0, 0, 0, 3};
    BeginCycleSample(sample, 7, -4, selectors);
    EXPECT_EQ(sample.block, (SampleBlock{7, 0, {0, 0, 0, 3}}));
    EXPECT_TRUE(sample.tables[1].texts.empty());
}
