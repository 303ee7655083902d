#include "modbus/pending_writes.h"

#include <algorithm>

#include "modbus/frames.h"
#include "modbus/pdu_sizes.h"

namespace {

// The registers or coils a write request sets on its device.
struct WriteSpan {
    int table = 0;  // 2 Coils, 4 Holding Registers; 0 for a frame that is no write
    uint8_t unit = 0;
    int first = 0;
    int count = 0;
};

WriteSpan SpanOf(const PendingWrite& write)
{
    const uint8_t* frame = write.frame.data();
    if (write.length < kRequestLength || !IsWriteFunction(frame[7]))
        return {};
    const FunctionSizes sizes = FunctionSizesOf(frame[7]);
    WriteSpan span;
    span.table = sizes.table;
    span.unit = frame[6];
    span.first = frame[8] << 8 | frame[9];
    // A single write sets one value; a multiple write says how many.
    span.count = sizes.request.count == CountNone ? 1 : frame[10] << 8 | frame[11];
    return span;
}

bool SameCells(const QueuedWrite& a, const WriteSpan& sa, const QueuedWrite& b, const WriteSpan& sb)
{
    return sa.table != 0 && sa.table == sb.table && sa.unit == sb.unit && a.target == b.target;
}

// The newer write sets every register or coil the older one does.
bool Covers(const QueuedWrite& newer, const QueuedWrite& older)
{
    const WriteSpan n = SpanOf(newer.write), o = SpanOf(older.write);
    return SameCells(newer, n, older, o) && n.first <= o.first && o.first + o.count <= n.first + n.count;
}

bool Overlap(const QueuedWrite& a, const QueuedWrite& b)
{
    const WriteSpan sa = SpanOf(a.write), sb = SpanOf(b.write);
    return SameCells(a, sa, b, sb) && sa.first < sb.first + sb.count && sb.first < sa.first + sa.count;
}

}  // namespace

void PendingWriteQueue::Append(const PendingWrite& write, const LinkTarget& target)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const QueuedWrite queued{write, target, ++lastTyped_};
    std::erase_if(entries_, [&](const QueuedWrite& older) { return Covers(queued, older); });
    entries_.push_back(queued);
}

std::optional<QueuedWrite> PendingWriteQueue::TakeNext()
{
    std::lock_guard<std::mutex> lock(mutex_);
    for (size_t i = entries_.size(); i-- > 0;) {
        const bool waits = std::any_of(entries_.begin(), entries_.begin() + static_cast<std::ptrdiff_t>(i),
                                       [&](const QueuedWrite& older) { return Overlap(older, entries_[i]); });
        if (waits)
            continue;
        QueuedWrite next = entries_[i];
        entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
        return next;
    }
    return std::nullopt;
}

void PendingWriteQueue::PutBack(const QueuedWrite& write)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (std::any_of(entries_.begin(), entries_.end(),
                    [&](const QueuedWrite& newer) { return newer.typed > write.typed && Covers(newer, write); }))
        return;
    const auto at = std::find_if(entries_.begin(), entries_.end(),
                                 [&](const QueuedWrite& other) { return other.typed > write.typed; });
    entries_.insert(at, write);
}

std::vector<QueuedWrite> PendingWriteQueue::TakeOtherTargets(const LinkTarget& target)
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<QueuedWrite> taken;
    std::erase_if(entries_, [&](const QueuedWrite& queued) {
        if (queued.target == target)
            return false;
        taken.push_back(queued);
        return true;
    });
    return taken;
}

size_t PendingWriteQueue::Size() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_.size();
}

void PendingWriteQueue::Clear()
{
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.clear();
}
