#include "dataview/sample_handover.h"

#include <algorithm>

bool SamplesWanted(const SampleHandover& handover)
{
    return handover.consumers.load(std::memory_order_relaxed) > 0;
}

void PublishSample(SampleHandover& handover, CycleSample&& sample)
{
    const size_t bytes = SampleBytes(sample);
    // Built before any lock is taken; the dropped samples are freed after.
    const SampleRef shared = std::make_shared<const CycleSample>(std::move(sample));
    std::vector<SampleRef> dropped;
    std::lock_guard handoverLock(handover.mutex);
    for (const auto& queue : handover.queues) {
        // No wake-up: a woken consumer could take the worker's core on a
        // busy machine. Consumers look at their own pace.
        std::lock_guard lock(queue->mutex);
        while (!queue->samples.empty() &&
               (queue->samples.size() >= queue->maxSamples || queue->bytes + bytes > queue->maxBytes)) {
            queue->bytes -= queue->samples.front().second;
            dropped.push_back(std::move(queue->samples.front().first));
            queue->samples.pop_front();
            queue->dropped++;
        }
        queue->samples.emplace_back(shared, bytes);
        queue->bytes += bytes;
    }
}

std::shared_ptr<SampleQueue> AttachSampleConsumer(SampleHandover& handover, size_t maxSamples, size_t maxBytes)
{
    auto queue = std::make_shared<SampleQueue>();
    queue->maxSamples = std::max<size_t>(1, maxSamples);
    queue->maxBytes = maxBytes;
    std::lock_guard lock(handover.mutex);
    handover.queues.push_back(queue);
    handover.consumers.store(static_cast<int>(handover.queues.size()), std::memory_order_relaxed);
    return queue;
}

void DetachSampleConsumer(SampleHandover& handover, const SampleQueue* queue)
{
    std::lock_guard lock(handover.mutex);
    std::erase_if(handover.queues, [&](const auto& q) { return q.get() == queue; });
    handover.consumers.store(static_cast<int>(handover.queues.size()), std::memory_order_relaxed);
}

std::vector<SampleRef> TakeSamples(SampleQueue& queue)
{
    std::deque<std::pair<SampleRef, size_t>> taken;
    {
        std::lock_guard lock(queue.mutex);
        taken.swap(queue.samples);
        queue.bytes = 0;
        queue.woken = false;
    }
    std::vector<SampleRef> samples;
    samples.reserve(taken.size());
    for (auto& [sample, bytes] : taken)
        samples.push_back(std::move(sample));
    return samples;
}

bool WaitForSamples(SampleQueue& queue, std::chrono::milliseconds timeout)
{
    std::unique_lock lock(queue.mutex);
    queue.ready.wait_for(lock, timeout, [&] { return queue.woken; });
    queue.woken = false;
    return !queue.samples.empty();
}

void WakeSampleConsumer(SampleQueue& queue)
{
    {
        std::lock_guard lock(queue.mutex);
        queue.woken = true;
    }
    queue.ready.notify_all();
}

uint64_t DroppedSamples(SampleQueue& queue)
{
    std::lock_guard lock(queue.mutex);
    return queue.dropped;
}
