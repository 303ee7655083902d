// The queue of write requests made by cell edits and sent by the poll worker.
#pragma once

#include <mutex>
#include <optional>
#include <vector>

#include "common/pending_write.h"

// Appended on the GUI thread while the worker may be draining it; the mutex
// makes each append and each take atomic, so nothing is lost or taken twice.
class PendingWriteQueue {
public:
    void Append(const PendingWrite& write);
    // Takes out the newest entry (the one appended last), if any.
    std::optional<PendingWrite> TakeNewest();
    // Puts the entry last taken back where it was: entries appended since
    // stay newer and go first. For a write that never went out.
    void PutBack(const PendingWrite& write);
    size_t Size() const;
    void Clear();

private:
    mutable std::mutex mutex_;
    std::vector<PendingWrite> entries_;
    size_t lastTaken_ = 0;  // where the entry last taken stood
};
