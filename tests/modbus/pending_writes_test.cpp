#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "modbus/pending_writes.h"

namespace {

PendingWrite Numbered(uint32_t id)
{
    PendingWrite write;
    write.Frame[0] = static_cast<uint8_t>(id >> 24);
    write.Frame[1] = static_cast<uint8_t>(id >> 16);
    write.Frame[2] = static_cast<uint8_t>(id >> 8);
    write.Frame[3] = static_cast<uint8_t>(id);
    return write;
}

uint32_t IdOf(const PendingWrite& write)
{
    return uint32_t{write.Frame[0]} << 24 | uint32_t{write.Frame[1]} << 16 | uint32_t{write.Frame[2]} << 8 |
           write.Frame[3];
}

}  // namespace

TEST(PendingWrites, TakesNewestFirstUntilEmpty)
{
    PendingWriteQueue queue;
    EXPECT_FALSE(queue.TakeNewest().has_value());
    for (uint32_t id = 1; id <= 3; id++)
        queue.Append(Numbered(id));
    EXPECT_EQ(queue.Size(), 3u);
    EXPECT_EQ(IdOf(*queue.TakeNewest()), 3u);
    queue.Append(Numbered(4));
    EXPECT_EQ(IdOf(*queue.TakeNewest()), 4u);
    EXPECT_EQ(IdOf(*queue.TakeNewest()), 2u);
    EXPECT_EQ(IdOf(*queue.TakeNewest()), 1u);
    EXPECT_FALSE(queue.TakeNewest().has_value());

    queue.Append(Numbered(5));
    queue.Clear();
    EXPECT_EQ(queue.Size(), 0u);
}

TEST(PendingWrites, AWritePutBackKeepsItsPlaceBehindNewerOnes)
{
    PendingWriteQueue queue;
    for (uint32_t id = 1; id <= 3; id++)
        queue.Append(Numbered(id));
    PendingWrite taken = *queue.TakeNewest();
    queue.Append(Numbered(4));  // made while 3 was on its way
    queue.PutBack(taken);
    for (uint32_t id : {4u, 3u, 2u, 1u})
        EXPECT_EQ(IdOf(*queue.TakeNewest()), id);
}

TEST(PendingWrites, ConcurrentAppendAndDrainLoseAndDuplicateNothing)
{
    constexpr uint32_t kCount = 20000;
    PendingWriteQueue queue;
    std::atomic<bool> appending{true};
    std::vector<int> seen(kCount, 0);

    std::thread drainer([&] {
        for (;;) {
            bool done = !appending.load();
            while (auto write = queue.TakeNewest()) {
                ASSERT_LT(IdOf(*write), kCount);
                seen[IdOf(*write)]++;
                EXPECT_EQ(write->Length, 12);
            }
            if (done)
                return;
            std::this_thread::yield();
        }
    });
    for (uint32_t id = 0; id < kCount; id++)
        queue.Append(Numbered(id));
    appending = false;
    drainer.join();

    EXPECT_EQ(queue.Size(), 0u);
    for (uint32_t id = 0; id < kCount; id++)
        ASSERT_EQ(seen[id], 1) << "write " << id;
}
