#include "modbus/pending_writes.h"

void PendingWriteQueue::Append(const PendingWrite& write)
{
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.push_back(write);
}

std::optional<PendingWrite> PendingWriteQueue::TakeNewest()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (entries_.empty())
        return std::nullopt;
    PendingWrite newest = entries_.back();
    entries_.pop_back();
    return newest;
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
