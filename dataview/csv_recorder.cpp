#include "dataview/csv_recorder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "dataview/csv_record.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// The samples are taken this often; rows are synced at most this long after
// they were written: together, a cycle's row is on the disk within a
// second.
constexpr auto kTakeInterval = milliseconds(100);
constexpr auto kSyncInterval = milliseconds(900);
// How often the file is checked for being removed or replaced.
constexpr auto kIdentityCheckInterval = milliseconds(1000);

std::string ErrorText(int error)
{
    return std::error_code(error, std::generic_category()).message();
}

std::string OpenFailureText(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
        return "permission denied";
    case ENOENT:
        return "the folder does not exist";
    case ENOTDIR:
        return "a part of the path is not a folder";
    case EISDIR:
        return "it is a folder";
    case EROFS:
        return "the disk is read-only";
    case ENOSPC:
    case EDQUOT:
        return "the disk is full";
    case ENXIO:
        return "it is not a regular file";
    default:
        return ErrorText(error);
    }
}

std::string WriteFailureText(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return "the disk is full";
    case EFBIG:
        return "the file has reached the largest size allowed";
    case EROFS:
        return "the disk has become read-only";
    case EIO:
        return "the disk reported an input/output error";
    default:
        return ErrorText(error);
    }
}

std::string FileNameOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

struct CsvRecorder {
    std::string path;
    std::string fileName;
    int fd = -1;
    dev_t device = 0;
    ino_t inode = 0;
    SampleHandover* handover = nullptr;
    std::shared_ptr<SampleQueue> queue;

    std::atomic<bool> stopAsked{false};
    std::atomic<bool> paused{false};
    std::atomic<uint64_t> rows{0};

    std::mutex mutex;  // guards ended and stopReason
    std::condition_variable endedSignal;
    bool ended = false;
    std::string stopReason;
};

namespace {

// Appends chunk at end; on failure cuts the file back to end and gives errno.
bool AppendChunk(int fd, const std::string& chunk, off_t& end, int& error)
{
    size_t done = 0;
    while (done < chunk.size()) {
        const ssize_t n = write(fd, chunk.data() + done, chunk.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = n < 0 ? errno : EIO;
            break;
        }
        done += static_cast<size_t>(n);
    }
    if (done == chunk.size()) {
        end += static_cast<off_t>(done);
        return true;
    }
    if (done > 0 && ftruncate(fd, end) != 0) {
        // Nothing more can be done for the file; the reason stays the write's.
    }
    return false;
}

bool SyncFile(int fd, int& error)
{
    while (fdatasync(fd) != 0) {
        if (errno != EINTR) {
            error = errno;
            return false;
        }
    }
    return true;
}

// The file at the path is still the one being written.
bool StillThere(const CsvRecorder& recorder)
{
    struct stat now {};
    return stat(recorder.path.c_str(), &now) == 0 && now.st_dev == recorder.device && now.st_ino == recorder.inode;
}

void RecordLoop(std::shared_ptr<CsvRecorder> recorder)
{
    CsvRecorder& r = *recorder;
    std::optional<SampleBlock> block;  // of the row last written
    off_t end = 0;
    std::string failure;  // why it stopped by itself
    bool unsynced = false;
    Clock::time_point firstUnsynced{};
    Clock::time_point lastCheck = Clock::now();
    bool wasPaused = false;

    for (bool last = false; !last && failure.empty();) {
        auto wait = kTakeInterval;
        if (unsynced)
            wait = std::min(wait, std::chrono::ceil<milliseconds>(firstUnsynced + kSyncInterval - Clock::now()));
        WaitForSamples(*r.queue, std::max(wait, milliseconds(0)));
        if (r.stopAsked.load()) {
            // No sample joins after this one last take.
            DetachSampleConsumer(*r.handover, r.queue.get());
            last = true;
        }
        for (const SampleRef& sample : TakeSamples(*r.queue)) {
            int error = 0;
            if (!AppendChunk(r.fd, CsvRecordChunk(*sample, block ? &*block : nullptr), end, error)) {
                failure = WriteFailureText(error);
                break;
            }
            block = sample->block;
            r.rows.fetch_add(1);
            if (!unsynced) {
                unsynced = true;
                firstUnsynced = Clock::now();
            }
        }
        const bool paused = r.paused.load();
        const Clock::time_point now = Clock::now();
        if (failure.empty() && unsynced && (last || now - firstUnsynced >= kSyncInterval || (paused && !wasPaused))) {
            int error = 0;
            if (SyncFile(r.fd, error))
                unsynced = false;
            else
                failure = WriteFailureText(error);
        }
        wasPaused = paused;
        if (failure.empty() && (last || now - lastCheck >= kIdentityCheckInterval)) {
            lastCheck = now;
            if (!StillThere(r))
                failure = "the file was removed or replaced";
        }
    }

    if (!failure.empty()) {
        DetachSampleConsumer(*r.handover, r.queue.get());
        int error = 0;
        SyncFile(r.fd, error);
    }
    close(r.fd);
    r.fd = -1;
    std::lock_guard lock(r.mutex);
    if (!failure.empty())
        r.stopReason = "Recording to " + r.path + " stopped: " + failure + ". The " + std::to_string(r.rows.load()) +
                       (r.rows.load() == 1 ? " row" : " rows") + " written before are kept.";
    r.ended = true;
    r.endedSignal.notify_all();
}

}  // namespace

std::shared_ptr<CsvRecorder> StartCsvRecording(const std::string& path, SampleHandover& handover, std::string& reason)
{
    // Not blocking, so that a named pipe without a reader is refused at once
    // instead of holding the caller.
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0666);
    struct stat file {};
    int error = fd < 0 ? errno : 0;
    if (fd >= 0 && fstat(fd, &file) != 0)
        error = errno;
    else if (fd >= 0 && !S_ISREG(file.st_mode))
        error = ENXIO;
    if (error != 0) {
        if (fd >= 0)
            close(fd);
        reason = "Cannot record to " + path + ": " + OpenFailureText(error) + ".";
        return nullptr;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);

    auto recorder = std::make_shared<CsvRecorder>();
    recorder->path = path;
    recorder->fileName = FileNameOf(path);
    recorder->fd = fd;
    recorder->device = file.st_dev;
    recorder->inode = file.st_ino;
    recorder->handover = &handover;
    recorder->queue = AttachSampleConsumer(handover);
    try {
        std::thread(RecordLoop, recorder).detach();
    } catch (const std::system_error& e) {
        DetachSampleConsumer(handover, recorder->queue.get());
        close(fd);
        reason = "Cannot record to " + path + ": no thread could be started (" + e.what() + ").";
        return nullptr;
    }
    reason.clear();
    return recorder;
}

void StopCsvRecording(CsvRecorder& recorder)
{
    recorder.stopAsked.store(true);
    WakeSampleConsumer(*recorder.queue);
}

void PauseCsvRecording(CsvRecorder& recorder, bool paused)
{
    recorder.paused.store(paused);
    WakeSampleConsumer(*recorder.queue);
}

CsvRecordingStatus CsvRecordingState(CsvRecorder& recorder)
{
    CsvRecordingStatus status;
    status.fileName = recorder.fileName;
    status.rows = recorder.rows.load();
    status.dropped = DroppedSamples(*recorder.queue);
    status.paused = recorder.paused.load();
    std::lock_guard lock(recorder.mutex);
    status.ended = recorder.ended;
    status.stopReason = recorder.stopReason;
    return status;
}

bool AwaitCsvRecordingEnd(CsvRecorder& recorder, std::chrono::milliseconds timeout)
{
    std::unique_lock lock(recorder.mutex);
    return recorder.endedSignal.wait_for(lock, timeout, [&] { return recorder.ended; });
}
