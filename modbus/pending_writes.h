// The queue of write requests made by cell edits and the "Write value..."
// dialog, sent by the poll worker.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "common/pending_write.h"
#include "connection/link_target.h"

// One queued write and the device it was typed for.
struct QueuedWrite {
    PendingWrite write;
    LinkTarget target;
    uint64_t typed = 0;  // its place in the order the writes were typed, from 1
};

// Appended on the GUI thread while the worker may be draining it; the mutex
// makes each call atomic, so nothing is lost or taken twice.
//
// Whatever the queue holds, each register and coil ends with the value
// typed last: a newer write that covers every register (or coil) of an
// older one for the same target replaces it, and writes that share only
// some go out in the order they were typed. Writes that share none go out
// newest first.
class PendingWriteQueue {
public:
    void Append(const PendingWrite& write, const LinkTarget& target);
    // Takes out the write to send next: the newest that no older queued
    // write shares a register or coil with.
    std::optional<QueuedWrite> TakeNext();
    // Puts a write taken out back in its place, for a write that never went
    // out; dropped instead when a write typed since covers it.
    void PutBack(const QueuedWrite& write);
    // Takes out every write typed for another target, oldest first.
    std::vector<QueuedWrite> TakeOtherTargets(const LinkTarget& target);
    size_t Size() const;
    void Clear();

private:
    mutable std::mutex mutex_;
    std::vector<QueuedWrite> entries_;  // oldest first
    uint64_t lastTyped_ = 0;
};
