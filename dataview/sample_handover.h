// Hands each finished cycle sample from the poll worker to its consumers
// (the CSV recorder's thread, the trend window on the GUI thread) without
// making the worker wait for any of them.
//
// Every consumer has a queue of its own, bounded by count and by memory.
// Publishing takes two short locks that consumers hold only to swap their
// queue out; nothing on the publishing side waits for a consumer's work,
// and it wakes no one: consumers take what has come at their own pace (the
// recorder ten times a second, the chart at its repaints).
// When a queue is full, its OLDEST sample is dropped to make room and
// counted in `dropped`: a consumer that falls behind (a disk slower than
// the scan rate) loses old rows rather than slowing the polling, and says
// how many it lost. Samples are shared, read-only, between the queues.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "dataview/cycle_sample.h"

using SampleRef = std::shared_ptr<const CycleSample>;

// Bounds of a consumer's queue: a minute and a half of 10 ms cycles, and
// never more than this much memory however many values a cycle carries.
constexpr size_t kSampleQueueSamples = 8192;
constexpr size_t kSampleQueueBytes = 64u << 20;

struct SampleQueue {
    std::mutex mutex;
    std::condition_variable ready;                     // signalled on each sample and on Wake
    std::deque<std::pair<SampleRef, size_t>> samples;  // with their SampleBytes, oldest first
    size_t bytes = 0;                                  // their sum
    size_t maxSamples = kSampleQueueSamples;
    size_t maxBytes = kSampleQueueBytes;
    uint64_t dropped = 0;  // samples dropped so far because the queue was full
    bool woken = false;
};

struct SampleHandover {
    std::mutex mutex;  // guards queues; taken by the publisher, Attach and Detach
    std::vector<std::shared_ptr<SampleQueue>> queues;
    std::atomic<int> consumers{0};
};

// Worker: true when anyone takes samples. With no consumer the worker need
// not build one, and the cycle costs what it did without them.
bool SamplesWanted(const SampleHandover& handover);

// Worker, at the end of a cycle: hands the sample to every attached queue
// and returns. A sample larger than a queue's byte bound still goes in,
// alone.
void PublishSample(SampleHandover& handover, CycleSample&& sample);

// A consumer joins; it sees the samples published from now on.
std::shared_ptr<SampleQueue> AttachSampleConsumer(SampleHandover& handover, size_t maxSamples = kSampleQueueSamples,
                                                  size_t maxBytes = kSampleQueueBytes);
// A consumer leaves; samples still in its queue stay there for it.
void DetachSampleConsumer(SampleHandover& handover, const SampleQueue* queue);

// Consumer: every sample waiting, oldest first; never waits for one.
std::vector<SampleRef> TakeSamples(SampleQueue& queue);
// Consumer thread: waits until WakeSampleConsumer is called or the time is
// up (a sample published meanwhile does not end the wait); true when a
// sample is waiting.
bool WaitForSamples(SampleQueue& queue, std::chrono::milliseconds timeout);
void WakeSampleConsumer(SampleQueue& queue);
// Samples dropped from the queue so far.
uint64_t DroppedSamples(SampleQueue& queue);
