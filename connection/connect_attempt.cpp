#include "connection/connect_attempt.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

// Shared by the attempt's thread and its owner; the last of them frees it.
struct AttemptState {
    std::mutex mutex;
    bool done = false;
    bool abandoned = false;
    Connection* connection = nullptr;
    ConnectFailure failure = ConnectFailed;
    int cancelFd = -1;  // readable once abandoned

    ~AttemptState()
    {
        if (cancelFd >= 0)
            close(cancelFd);
    }
};

void RunAttempt(std::shared_ptr<AttemptState> state, std::string host, int64_t port, void (*done)())
{
    ConnectFailure failure = ConnectFailed;
    Connection* connection = OpenConnection(host, port, state->cancelFd, &failure);
    {
        std::lock_guard<std::mutex> lock(state->mutex);
        if (state->abandoned) {
            CloseConnection(connection);
            return;
        }
        state->connection = connection;
        state->failure = failure;
        state->done = true;
    }
    if (done)
        done();
}

}  // namespace

struct ConnectAttempt {
    std::shared_ptr<AttemptState> state;
};

ConnectAttempt* StartConnectAttempt(const std::string& host, int64_t port, void (*done)())
{
    auto state = std::make_shared<AttemptState>();
    state->cancelFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (state->cancelFd < 0)
        return nullptr;
    try {
        std::thread(RunAttempt, state, host, port, done).detach();
    } catch (const std::system_error&) {
        return nullptr;
    }
    return new ConnectAttempt{std::move(state)};
}

bool ConnectAttemptDone(ConnectAttempt* attempt)
{
    if (!attempt)
        return false;
    std::lock_guard<std::mutex> lock(attempt->state->mutex);
    return attempt->state->done;
}

Connection* FinishConnectAttempt(ConnectAttempt* attempt, ConnectFailure* failure)
{
    if (!attempt)
        return nullptr;
    Connection* connection = nullptr;
    {
        std::lock_guard<std::mutex> lock(attempt->state->mutex);
        connection = attempt->state->connection;
        if (failure)
            *failure = attempt->state->failure;
        attempt->state->connection = nullptr;
    }
    delete attempt;
    return connection;
}

void AbandonConnectAttempt(ConnectAttempt* attempt)
{
    if (!attempt)
        return;
    Connection* opened = nullptr;
    {
        std::lock_guard<std::mutex> lock(attempt->state->mutex);
        attempt->state->abandoned = true;
        opened = attempt->state->connection;
        attempt->state->connection = nullptr;
        const uint64_t one = 1;
        // Wakes the connect's wait; it then closes its socket itself.
        [[maybe_unused]] ssize_t written = write(attempt->state->cancelFd, &one, sizeof one);
    }
    CloseConnection(opened);
    delete attempt;
}
