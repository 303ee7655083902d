#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "modbus/frames.h"

namespace {

std::vector<uint8_t> Read(int table, int64_t unit, int64_t start, int64_t quantity, bool offset)
{
    std::array<uint8_t, 12> out{};
    EXPECT_EQ(BuildReadRequest(out.data(), table, unit, start, quantity, offset), 12);
    return {out.begin(), out.end()};
}

} // namespace

TEST(Frames, ReadRequestExamples)
{
    EXPECT_EQ(Read(1, 1, 1, 100, false),
              (std::vector<uint8_t>{0x00, 0x01, 0x00, 0x00, 0x00, 0x06, 0x01, 0x02, 0x00, 0x01, 0x00, 0x64}));
    EXPECT_EQ(Read(4, 1, 1, 100, true),
              (std::vector<uint8_t>{0x00, 0x04, 0x00, 0x00, 0x00, 0x06, 0x01, 0x03, 0x00, 0x00, 0x00, 0x64}));
}
