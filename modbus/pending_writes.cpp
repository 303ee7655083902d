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
    lastTaken_ = entries_.size();
    return newest;
}

void PendingWriteQueue::PutBack(const PendingWrite& write)
{
    std::lock_guard<std::mutex> lock(mutex_);
    // Only appends happen behind a take's back, so nothing before its
    // place has moved.
    const size_t at = lastTaken_ < entries_.size() ? lastTaken_ : entries_.size();
    entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(at), write);
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
