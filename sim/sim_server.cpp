#include "sim/sim_server.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "sim/modbus_answer.h"
#include "sim/request_framing.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kMaxClients = 64;
constexpr size_t kReadChunk = 4096;
constexpr size_t kMaxCommandLength = 4096;
// A client that sends requests but does not read the answers is dropped
// once this much is waiting for it.
constexpr size_t kMaxUnsent = 64 * 1024;

struct Client {
    int fd = -1;      // -1 once dropped
    unsigned id = 0;  // for messages: "client 3"
    StreamKind kind = StreamKind::Undecided;
    std::vector<uint8_t> in;    // received, not yet handled
    std::vector<uint8_t> out;   // response bytes not yet sent
    std::vector<uint8_t> held;  // a response waiting out the delay
    Clock::time_point heldUntil;
    bool inputClosed = false;  // the client has shut its sending side
};

struct Server {
    const SimOptions& options;
    ModbusAnswerer answerer;
    std::vector<Client> clients;
    unsigned nextId = 1;
    Clock::time_point acceptPausedUntil;
    bool quit = false;
};

std::string Hex(const std::vector<uint8_t>& bytes, size_t count)
{
    std::string text;
    char two[4];
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(two, sizeof two, i ? " %02X" : "%02X", bytes[i]);
        text += two;
    }
    return text;
}

// Command text as printable ASCII, anything else as \xNN.
std::string Printable(const std::vector<uint8_t>& bytes)
{
    std::string text;
    char escape[8];
    for (uint8_t b : bytes) {
        if (b >= 0x20 && b < 0x7F && b != '\\' && b != '"') {
            text += static_cast<char>(b);
        } else {
            std::snprintf(escape, sizeof escape, "\\x%02X", b);
            text += escape;
        }
    }
    return text;
}

void Drop(Client& client, const char* why, bool verbose = false)
{
    if (why)
        std::fprintf(stderr, "sorbel-sim: client %u dropped: %s\n", client.id, why);
    else if (verbose)
        std::fprintf(stderr, "sorbel-sim: client %u closed\n", client.id);
    close(client.fd);
    client.fd = -1;
}

void AcceptClient(Server& server, int listener)
{
    int fd = accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
        // Out of descriptors or memory: the pending connection stays in the
        // queue and would wake us at once, so stop accepting for a moment.
        if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
            std::fprintf(stderr, "sorbel-sim: cannot accept: %s\n", std::strerror(errno));
            server.acceptPausedUntil = Clock::now() + std::chrono::milliseconds(100);
        }
        return;
    }
    const unsigned id = server.nextId++;
    if (server.clients.size() >= kMaxClients) {
        std::fprintf(stderr, "sorbel-sim: client %u refused: already %zu clients\n", id, kMaxClients);
        close(fd);
        return;
    }
    int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    Client client;
    client.fd = fd;
    client.id = id;
    server.clients.push_back(std::move(client));
    if (server.options.verbose)
        std::fprintf(stderr, "sorbel-sim: client %u connected\n", id);
}

// A command connection has closed: its whole text is the command.
void RunCommand(Server& server, Client& client)
{
    static const char kQuit[] = "quit";
    if (client.in.size() == sizeof kQuit - 1 && std::memcmp(client.in.data(), kQuit, client.in.size()) == 0) {
        std::printf("sorbel-sim: quit received, stopping\n");
        server.quit = true;
    } else if (!client.in.empty()) {
        std::printf("sorbel-sim: command \"%s\" ignored\n", Printable(client.in).c_str());
    }
    std::fflush(stdout);
}

void ReadFrom(Server& server, Client& client)
{
    uint8_t chunk[kReadChunk];
    ssize_t n = recv(client.fd, chunk, sizeof chunk, 0);
    if (n < 0) {
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            Drop(client, server.options.verbose ? std::strerror(errno) : nullptr, server.options.verbose);
        return;
    }
    if (n == 0) {
        client.inputClosed = true;
        if (client.kind != StreamKind::Modbus) {
            RunCommand(server, client);
            Drop(client, nullptr, server.options.verbose);
        }
        return;
    }
    client.in.insert(client.in.end(), chunk, chunk + n);
    if (client.kind == StreamKind::Undecided)
        client.kind = ClassifyStream(client.in.data(), client.in.size());
    if (client.kind == StreamKind::Command && client.in.size() > kMaxCommandLength)
        Drop(client, "command text too long");
}

void SendTo(Server& server, Client& client)
{
    while (!client.out.empty()) {
        ssize_t n = send(client.fd, client.out.data(), client.out.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                break;
            Drop(client, server.options.verbose ? std::strerror(errno) : nullptr, server.options.verbose);
            return;
        }
        client.out.erase(client.out.begin(), client.out.begin() + n);
    }
    if (client.out.size() > kMaxUnsent)
        Drop(client, "does not read its responses");
}

void QueueResponse(Server& server, Client& client, const std::vector<uint8_t>& response)
{
    if (server.options.verbose)
        std::fprintf(stderr, "sorbel-sim: client %u <- %s\n", client.id, Hex(response, response.size()).c_str());
    client.out.insert(client.out.end(), response.begin(), response.end());
    SendTo(server, client);
}

bool CanTakeRequest(const Client& client)
{
    return client.fd >= 0 && client.kind == StreamKind::Modbus && client.held.empty() && client.out.size() < kReadChunk;
}

// At most one request per client per round, so a client with a long queue
// of requests does not hold up the others.
void ServeOneRequest(Server& server, Client& client)
{
    if (!CanTakeRequest(client))
        return;
    const int length = NextRequestLength(client.in.data(), client.in.size());
    if (length < 0) {
        Drop(client, "sent bytes that are not Modbus/TCP");
        return;
    }
    if (length == 0)
        return;
    if (server.options.verbose)
        std::fprintf(stderr, "sorbel-sim: client %u -> %s\n", client.id,
                     Hex(client.in, static_cast<size_t>(length)).c_str());
    SimAnswer answer = AnswerRequest(server.answerer, client.in.data(), length);
    const int unit = client.in[6];
    client.in.erase(client.in.begin(), client.in.begin() + length);
    if (answer.ignored) {
        if (server.options.verbose)
            std::fprintf(stderr, "sorbel-sim: client %u: unit %d does not answer\n", client.id, unit);
        return;
    }
    std::vector<uint8_t> response = std::move(answer.bytes);
    if (response.empty()) {
        Drop(client, "no response could be built");
        return;
    }
    if (server.options.delayMs > 0) {
        client.held = std::move(response);
        client.heldUntil = Clock::now() + std::chrono::milliseconds(server.options.delayMs);
    } else {
        QueueResponse(server, client, response);
    }
}

void ReleaseHeld(Server& server, Client& client, Clock::time_point now)
{
    if (client.fd < 0 || client.held.empty() || client.heldUntil > now)
        return;
    std::vector<uint8_t> response = std::move(client.held);
    client.held.clear();
    QueueResponse(server, client, response);
}

// A client that has said all it will and been answered is done.
void CloseIfFinished(const Server& server, Client& client)
{
    if (client.fd >= 0 && client.inputClosed && client.held.empty() && client.out.empty() &&
        NextRequestLength(client.in.data(), client.in.size()) <= 0)
        Drop(client, nullptr, server.options.verbose);
}

// How long poll may sleep: not past the next held response, not at all when
// a request is already waiting to be answered.
int PollTimeoutMs(const Server& server, Clock::time_point now)
{
    int timeout = -1;
    auto shorten = [&timeout](int ms) {
        if (timeout < 0 || ms < timeout)
            timeout = std::max(ms, 0);
    };
    for (const Client& c : server.clients) {
        if (CanTakeRequest(c) && NextRequestLength(c.in.data(), c.in.size()) != 0)
            shorten(0);
        if (!c.held.empty()) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(c.heldUntil - now).count();
            shorten(static_cast<int>(left) + 1);
        }
    }
    if (server.acceptPausedUntil > now)
        shorten(static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(server.acceptPausedUntil - now).count() + 1));
    return timeout;
}

}  // namespace

int RunSimulator(int listener, const SimOptions& options, const sigset_t& waitMask,
                 const volatile sig_atomic_t& stopSignal)
{
    Server server{options, {}, {}, 1, {}, false};
    if (!OpenAnswerer(server.answerer, options)) {
        std::fprintf(stderr, "sorbel-sim: cannot set up the data tables\n");
        return 1;
    }

    int exitCode = 0;
    std::vector<pollfd> fds;
    while (!server.quit) {
        if (stopSignal) {
            std::printf("sorbel-sim: stopped by signal\n");
            std::fflush(stdout);
            break;
        }
        Clock::time_point now = Clock::now();
        fds.clear();
        fds.push_back({listener, static_cast<short>(server.acceptPausedUntil > now ? 0 : POLLIN), 0});
        for (const Client& c : server.clients) {
            short events = 0;
            if (!c.inputClosed && c.in.size() < kReadChunk)
                events |= POLLIN;
            if (!c.out.empty())
                events |= POLLOUT;
            fds.push_back({c.fd, events, 0});
        }

        const int timeoutMs = PollTimeoutMs(server, now);
        timespec timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000000L};
        if (ppoll(fds.data(), fds.size(), timeoutMs < 0 ? nullptr : &timeout, &waitMask) < 0) {
            if (errno == EINTR)
                continue;
            std::fprintf(stderr, "sorbel-sim: poll failed: %s\n", std::strerror(errno));
            exitCode = 1;
            break;
        }

        // Only the clients that were polled; new ones join the next round.
        const size_t polled = fds.size() - 1;
        for (size_t i = 0; i < polled && !server.quit; ++i) {
            Client& c = server.clients[i];
            const short revents = fds[i + 1].revents;
            if (c.fd >= 0 && (revents & (POLLIN | POLLHUP | POLLERR)) && !c.inputClosed)
                ReadFrom(server, c);
            else if (c.fd >= 0 && (revents & (POLLHUP | POLLERR)))
                Drop(c, nullptr, options.verbose);  // gone both ways: nothing more can reach it
            if (c.fd >= 0 && (revents & POLLOUT))
                SendTo(server, c);
        }
        if (server.quit)
            break;
        if (fds[0].revents & POLLIN)
            AcceptClient(server, listener);

        now = Clock::now();
        for (Client& c : server.clients) {
            ReleaseHeld(server, c, now);
            ServeOneRequest(server, c);
            CloseIfFinished(server, c);
        }
        std::erase_if(server.clients, [](const Client& c) { return c.fd < 0; });
    }

    for (Client& c : server.clients)
        if (c.fd >= 0)
            close(c.fd);
    CloseAnswerer(server.answerer);
    return exitCode;
}
