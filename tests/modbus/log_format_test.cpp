#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "modbus/log_format.h"

TEST(LogFormat, LinesOfEachKind)
{
    const std::array<uint8_t, 12> read{0x00, 0x01, 0x00, 0x00, 0x00, 0x06, 0x01, 0x02, 0x00, 0x01, 0x00, 0x64};
    EXPECT_EQ(FormatRequestLine(read.data(), 12), "->: 12 bytes 00 01 00 00 00 06 01 02 00 01 00 64");

    const std::array<uint8_t, 12> write{0x00, 0x64, 0x00, 0x00, 0x00, 0x06, 0x01, 0x05, 0x00, 0x00, 0xFF, 0x00};
    EXPECT_EQ(FormatWriteRequestLine(write.data(), 12), "POKE ->: 12 bytes 00 64 00 00 00 06 01 05 00 00 FF 00");

    const std::array<uint8_t, 9> exception{0x00, 0x04, 0x00, 0x00, 0x00, 0x03, 0x01, 0x83, 0x02};
    EXPECT_EQ(FormatResponseLine(exception.data(), 9), "<-: 9 bytes 00 04 00 00 00 03 01 83 02");

    EXPECT_EQ(FormatElapsedLine(16), "<> ElapsedTime: 16 [mS]");
    EXPECT_EQ(FormatElapsedLine(0), "<> ElapsedTime: 0 [mS]");
}

TEST(LogFormat, DumpIsTwoUpperCaseDigitsPerByte)
{
    const std::array<uint8_t, 5> bytes{0, 255, 10, 0xAB, 0x7F};
    EXPECT_EQ(HexDump(bytes.data(), 5), " 00 FF 0A AB 7F");

    // A 10-byte response: the count and exactly ten dumped bytes.
    std::vector<uint8_t> response(10, 0x0C);
    const std::string line = FormatResponseLine(response.data(), 10);
    EXPECT_EQ(line, "<-: 10 bytes 0C 0C 0C 0C 0C 0C 0C 0C 0C 0C");
}

TEST(LogFormat, NothingToDumpGivesJustTheCount)
{
    EXPECT_EQ(HexDump(nullptr, 4), "");
    EXPECT_EQ(FormatResponseLine(nullptr, 0), "<-: 0 bytes");
    const uint8_t one = 1;
    EXPECT_EQ(FormatResponseLine(&one, -1), "<-: -1 bytes");
}

TEST(LogFormat, FullBufferDumpsEveryByte)
{
    // A maximal response buffer: every byte value appears, in order.
    std::vector<uint8_t> bytes(512);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i);
    const std::string dump = HexDump(bytes.data(), 512);
    ASSERT_EQ(dump.size(), 512u * 3);
    EXPECT_EQ(dump.substr(0, 9), " 00 01 02");
    EXPECT_EQ(dump.substr(255 * 3, 3), " FF");
    EXPECT_EQ(dump.substr(511 * 3, 3), " FF");
}
