#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "modbus/frames.h"
#include "modbus/pending_writes.h"

namespace {

const LinkTarget kDevice = MakeLinkTarget(TransportModbusTcp, "10.0.0.5", 502, "", 1);

PendingWrite Numbered(uint32_t id)
{
    PendingWrite write;
    write.frame[0] = static_cast<uint8_t>(id >> 24);
    write.frame[1] = static_cast<uint8_t>(id >> 16);
    write.frame[2] = static_cast<uint8_t>(id >> 8);
    write.frame[3] = static_cast<uint8_t>(id);
    return write;
}

uint32_t IdOf(const QueuedWrite& queued)
{
    const auto& frame = queued.write.frame;
    return uint32_t{frame[0]} << 24 | uint32_t{frame[1]} << 16 | uint32_t{frame[2]} << 8 | frame[3];
}

// Registers (function 6 or 16) or coils (5 or 15) from first on, of unit 1;
// the value is what the test tells the writes apart by.
PendingWrite Registers(int first, int count, uint16_t value)
{
    PendingWrite write;
    const std::vector<uint16_t> values(static_cast<size_t>(count), value);
    write.length = count == 1 ? BuildWriteRequest(write.frame.data(), 1, kFunctionWriteRegister, first, value, false)
                              : BuildWriteRegistersRequest(write.frame.data(), 1, first, values.data(), count, false);
    return write;
}

PendingWrite Coil(int address, bool on)
{
    PendingWrite write;
    write.length =
        BuildWriteRequest(write.frame.data(), 1, kFunctionWriteCoil, address, on ? kCoilOn : kCoilOff, false);
    return write;
}

// The value of a single register or coil write, or of a multiple write's
// first register.
int ValueOf(const QueuedWrite& queued)
{
    const auto& frame = queued.write.frame;
    const int at = frame[7] == kFunctionWriteRegisters ? 13 : 10;
    return frame[at] << 8 | frame[at + 1];
}

std::vector<int> DrainValues(PendingWriteQueue& queue)
{
    std::vector<int> values;
    while (auto next = queue.TakeNext())
        values.push_back(ValueOf(*next));
    return values;
}

}  // namespace

TEST(PendingWrites, TakesNewestFirstUntilEmpty)
{
    PendingWriteQueue queue;
    EXPECT_FALSE(queue.TakeNext().has_value());
    for (uint32_t id = 1; id <= 3; id++)
        queue.Append(Numbered(id), kDevice);
    EXPECT_EQ(queue.Size(), 3u);
    EXPECT_EQ(IdOf(*queue.TakeNext()), 3u);
    queue.Append(Numbered(4), kDevice);
    EXPECT_EQ(IdOf(*queue.TakeNext()), 4u);
    EXPECT_EQ(IdOf(*queue.TakeNext()), 2u);
    EXPECT_EQ(IdOf(*queue.TakeNext()), 1u);
    EXPECT_FALSE(queue.TakeNext().has_value());

    queue.Append(Numbered(5), kDevice);
    queue.Clear();
    EXPECT_EQ(queue.Size(), 0u);
}

TEST(PendingWrites, EachRegisterAndCoilEndsWithTheValueTypedLast)
{
    struct Case {
        const char* what;
        std::vector<PendingWrite> typed;
        std::vector<int> sent;  // values, in the order they go out
    };
    const Case cases[] = {
        {"5 then 7 to one register: 7 alone", {Registers(10, 1, 5), Registers(10, 1, 7)}, {7}},
        {"different registers: newest first", {Registers(10, 1, 5), Registers(11, 1, 7)}, {7, 5}},
        {"a float over a register it covers", {Registers(11, 1, 5), Registers(10, 2, 7)}, {7}},
        {"a register inside an older float: both, in the order typed",
         {Registers(10, 2, 5), Registers(11, 1, 7)},
         {5, 7}},
        {"floats that share one register: in the order typed", {Registers(10, 2, 5), Registers(11, 2, 7)}, {5, 7}},
        {"a chain of overlaps, and one apart that goes first",
         {Registers(10, 2, 1), Registers(11, 2, 2), Registers(12, 1, 3), Registers(20, 1, 4)},
         {4, 1, 2, 3}},
        {"a coil and a register of the same address are not the same cell",
         {Coil(10, true), Registers(10, 1, 7)},
         {7, 0xFF00}},
        {"a coil switched on then off: off alone", {Coil(3, true), Coil(3, false)}, {0}},
    };
    for (const Case& c : cases) {
        PendingWriteQueue queue;
        for (const PendingWrite& write : c.typed)
            queue.Append(write, kDevice);
        EXPECT_EQ(DrainValues(queue), c.sent) << c.what;
    }

    // Another unit, or another device, is another register.
    PendingWriteQueue queue;
    PendingWrite otherUnit = Registers(10, 1, 6);
    otherUnit.frame[6] = 2;
    queue.Append(Registers(10, 1, 5), kDevice);
    queue.Append(otherUnit, MakeLinkTarget(TransportModbusTcp, "10.0.0.5", 502, "", 2));
    queue.Append(Registers(10, 1, 7), MakeLinkTarget(TransportModbusTcp, "10.0.0.6", 502, "", 1));
    EXPECT_EQ(DrainValues(queue), (std::vector<int>{7, 6, 5}));
}

TEST(PendingWrites, AWritePutBackKeepsItsPlaceUnlessANewerOneCoversIt)
{
    PendingWriteQueue queue;
    for (uint32_t id = 1; id <= 3; id++)
        queue.Append(Numbered(id), kDevice);
    QueuedWrite taken = *queue.TakeNext();
    queue.Append(Numbered(4), kDevice);  // made while 3 was on its way
    queue.PutBack(taken);
    for (uint32_t id : {4u, 3u, 2u, 1u})
        EXPECT_EQ(IdOf(*queue.TakeNext()), id);

    // Typed again while it was out: the newer value stays, the old is gone.
    queue.Append(Registers(10, 1, 5), kDevice);
    taken = *queue.TakeNext();
    queue.Append(Registers(10, 1, 7), kDevice);
    queue.PutBack(taken);
    EXPECT_EQ(DrainValues(queue), std::vector<int>{7});
}

TEST(PendingWrites, WritesForAnotherTargetAreTakenOutOldestFirst)
{
    const LinkTarget other = MakeLinkTarget(TransportModbusTcp, "10.0.0.5", 503, "", 1);
    PendingWriteQueue queue;
    queue.Append(Numbered(1), kDevice);
    queue.Append(Numbered(2), other);
    queue.Append(Numbered(3), kDevice);
    queue.Append(Numbered(4), other);
    const std::vector<QueuedWrite> dropped = queue.TakeOtherTargets(other);
    ASSERT_EQ(dropped.size(), 2u);
    EXPECT_EQ(IdOf(dropped[0]), 1u);
    EXPECT_EQ(IdOf(dropped[1]), 3u);
    EXPECT_EQ(dropped[0].target, kDevice);
    EXPECT_EQ(IdOf(*queue.TakeNext()), 4u);
    EXPECT_EQ(IdOf(*queue.TakeNext()), 2u);
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
            while (auto queued = queue.TakeNext()) {
                ASSERT_LT(IdOf(*queued), kCount);
                seen[IdOf(*queued)]++;
                EXPECT_EQ(queued->write.length, 12);
            }
            if (done)
                return;
            std::this_thread::yield();
        }
    });
    for (uint32_t id = 0; id < kCount; id++)
        queue.Append(Numbered(id), kDevice);
    appending = false;
    drainer.join();

    EXPECT_EQ(queue.Size(), 0u);
    for (uint32_t id = 0; id < kCount; id++)
        ASSERT_EQ(seen[id], 1) << "write " << id;
}
