#include "connection/connect_attempt.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "connection/serial_port.h"

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

// Opens the connection, watching cancelFd where it can wait long.
using Opener = std::function<Connection*(int cancelFd, ConnectFailure* failure)>;

void RunAttempt(std::shared_ptr<AttemptState> state, Opener open, void (*done)())
{
    ConnectFailure failure = ConnectFailed;
    Connection* connection = open(state->cancelFd, &failure);
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

namespace {

ConnectAttempt* StartAttempt(Opener open, void (*done)())
{
    auto state = std::make_shared<AttemptState>();
    state->cancelFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (state->cancelFd < 0)
        return nullptr;
    try {
        std::thread(RunAttempt, state, std::move(open), done).detach();
    } catch (const std::system_error&) {
        return nullptr;
    }
    return new ConnectAttempt{std::move(state)};
}

}  // namespace

ConnectAttempt* StartConnectAttempt(const std::string& host, int64_t port, void (*done)())
{
    return StartAttempt(
        [host, port](int cancelFd, ConnectFailure* failure) { return OpenConnection(host, port, cancelFd, failure); },
        done);
}

ConnectAttempt* StartSerialAttempt(const SerialSettings& settings, void (*done)())
{
    // Opening a port does not wait on the line, so there is nothing to
    // break off: an attempt given up meanwhile closes what it opened.
    return StartAttempt([settings](int, ConnectFailure* failure) { return OpenSerialPort(settings, failure); }, done);
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
