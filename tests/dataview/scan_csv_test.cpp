// Scan results as CSV lines.
#include <gtest/gtest.h>

#include "dataview/scan_csv.h"

TEST(ScanCsv, UnitLinesAndIdentityTexts)
{
    UnitResult unit;
    unit.unit = 7;
    unit.status = UnitAnswers;
    EXPECT_EQ(UnitCsvLine(unit), "7,answers,,,");
    unit.identified = true;
    unit.identity = {"Sorbel, Inc.", std::string("SIM\"1\"\0\0", 8), std::string("1.0\x01\xE9\\  ", 9)};
    EXPECT_EQ(UnitCsvLine(unit), "7,answers,\"Sorbel, Inc.\",\"SIM\"\"1\"\"\",1.0\\x01\\xE9\\\\");
    unit.identity = {"", "", "R"};
    EXPECT_EQ(UnitCsvLine(unit), "7,answers,,,R");
    EXPECT_EQ(IdentityText(std::string("\r\n", 2)), "\\x0D\\x0A");

    EXPECT_EQ(MapCsvLine(MapHoldingRegisters, {100, 199, RangeUnreadable}), "holding-registers,100,199,unreadable");
    EXPECT_STREQ(kUnitCsvHeader, "unit,status,vendor,product,revision");

    // Whole files, as the command writes them: a header even with nothing found.
    EXPECT_EQ(UnitCsvText({}), "unit,status,vendor,product,revision\n");
    EXPECT_EQ(UnitCsvText({unit}), "unit,status,vendor,product,revision\n7,answers,,,R\n");
    EXPECT_EQ(MapCsvText(MapCoils, {{0, 9, RangeReadable}, {10, 10, RangeSilent}}),
              "table,first,last,status\ncoils,0,9,readable\ncoils,10,10,silent\n");
}
