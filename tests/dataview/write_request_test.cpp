#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dataview/write_request.h"

TEST(WriteRequest, AWriteIsQueuedWithItsWholeFrameAndLabels)
{
    ValueWrite write;
    write.type = TypeFloat64;
    write.function = 16;
    write.text = "-2.5";
    write.address = 9999;
    write.blockLast = 10002;
    const EncodedValue e = EncodeValue(write);
    EXPECT_EQ(e.labels, (std::vector<std::string>{"49999", "410000", "410001", "410002"}));
    EXPECT_EQ(e.registers, (std::vector<uint16_t>{0xC004, 0, 0, 0}));
    const std::optional<PendingWrite> queued = PendingWriteFor(e);
    ASSERT_TRUE(queued);
    ASSERT_EQ(queued->length, 21);
    EXPECT_EQ(std::vector<uint8_t>(queued->frame.begin(), queued->frame.end()), e.frame);

    write.text = "x";
    EXPECT_FALSE(PendingWriteFor(EncodeValue(write)));
}
