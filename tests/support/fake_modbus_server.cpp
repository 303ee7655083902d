#include "tests/support/fake_modbus_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

namespace {

int64_t NowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

int64_t NowUs()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

uint16_t Get16(const std::vector<uint8_t>& b, size_t at)
{
    return static_cast<uint16_t>(b[at] << 8 | b[at + 1]);
}

void Put16(std::vector<uint8_t>& b, uint16_t v)
{
    b.push_back(static_cast<uint8_t>(v >> 8));
    b.push_back(static_cast<uint8_t>(v & 0xFF));
}

// Table of a read function code: 1 Coils -> 2, 2 Discrete Inputs -> 1,
// 3 Holding Registers -> 4, 4 Input Registers -> 3.
int TableOfFunction(int function)
{
    switch (function) {
    case 1:
        return 2;
    case 2:
        return 1;
    case 3:
        return 4;
    case 4:
        return 3;
    default:
        return 0;
    }
}

std::vector<uint8_t> ExceptionFrame(const std::vector<uint8_t>& request, uint8_t code, bool flagged)
{
    std::vector<uint8_t> out(request.begin(), request.begin() + 4);
    Put16(out, 3);
    out.push_back(request[6]);
    out.push_back(static_cast<uint8_t>(flagged ? request[7] | 0x80 : request[7]));
    out.push_back(code);
    return out;
}

}  // namespace

FakeReply FakeReply::Delayed(int ms)
{
    FakeReply r;
    r.delayMs = ms;
    return r;
}

FakeReply FakeReply::Error(uint8_t code, bool flagged)
{
    FakeReply r;
    r.kind = Exception;
    r.exceptionCode = code;
    r.flagged = flagged;
    return r;
}

FakeReply FakeReply::Raw(std::vector<uint8_t> bytes)
{
    FakeReply r;
    r.kind = Bytes;
    r.bytes = std::move(bytes);
    return r;
}

FakeReply FakeReply::RawWithId(std::vector<uint8_t> bytes)
{
    FakeReply r = Raw(std::move(bytes));
    r.ownId = true;
    return r;
}

FakeReply FakeReply::Sized(int length)
{
    FakeReply r;
    r.length = length;
    return r;
}

FakeReply FakeReply::Split(int at, int gapMs)
{
    FakeReply r;
    r.splitAt = at;
    r.splitGapMs = gapMs;
    return r;
}

FakeReply FakeReply::Patched(std::vector<std::pair<int, uint8_t>> patches)
{
    FakeReply r;
    r.patches = std::move(patches);
    return r;
}

FakeReply FakeReply::StrayFirst(std::vector<uint8_t> stray)
{
    FakeReply r;
    r.before = std::move(stray);
    return r;
}

FakeReply FakeReply::Never()
{
    FakeReply r;
    r.kind = Silent;
    return r;
}

FakeReply FakeReply::Hangup(bool reset)
{
    FakeReply r;
    r.kind = Close;
    r.reset = reset;
    return r;
}

FakeReply FakeReply::Flood(int strayFrames, bool answered)
{
    FakeReply r;
    r.kind = answered ? Answer : Silent;
    r.strayFrames = strayFrames;
    return r;
}

FakeModbusServer::FakeModbusServer()
{
    for (int t = 0; t < 4; ++t)
        values_[t].resize(65536);
    // Recognisable defaults; tests set the values they look at.
    for (int a = 0; a < 65536; ++a) {
        values_[0][a] = static_cast<uint16_t>(a % 2);
        values_[1][a] = a % 3 == 0;
        values_[2][a] = static_cast<uint16_t>(1000 + a);
        values_[3][a] = static_cast<uint16_t>(a);
    }

    if (pipe2(wakeFds_, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return;
    // The connections it accepts inherit this, so that the port can be
    // listened on again while they close (SetListening).
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t size = sizeof address;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 16) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        close(fd);
        return;
    }
    listenFd_ = fd;
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Run(); });
}

FakeModbusServer::~FakeModbusServer()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    Wake();
    if (thread_.joinable())
        thread_.join();
    for (Client& c : clients_)
        if (c.fd >= 0)
            close(c.fd);
    if (listenFd_ >= 0)
        close(listenFd_);
    for (int fd : wakeFds_)
        if (fd >= 0)
            close(fd);
}

void FakeModbusServer::Wake()
{
    if (wakeFds_[1] >= 0) {
        char byte = 1;
        [[maybe_unused]] ssize_t n = write(wakeFds_[1], &byte, 1);
    }
}

void FakeModbusServer::Push(const FakeReply& reply)
{
    std::lock_guard<std::mutex> lock(mutex_);
    script_.push_back(reply);
}

void FakeModbusServer::SetDefault(const FakeReply& reply)
{
    std::lock_guard<std::mutex> lock(mutex_);
    default_ = reply;
}

void FakeModbusServer::SetValue(int table, int address, uint16_t value)
{
    if (table < 1 || table > 4 || address < 0 || address > 65535)
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    values_[table - 1][address] = value;
}

uint16_t FakeModbusServer::Value(int table, int address) const
{
    if (table < 1 || table > 4 || address < 0 || address > 65535)
        return 0;
    std::lock_guard<std::mutex> lock(mutex_);
    return values_[table - 1][address];
}

void FakeModbusServer::SetStrict(bool strict)
{
    std::lock_guard<std::mutex> lock(mutex_);
    strict_ = strict;
}

void FakeModbusServer::SetDeviceLimits(int maxRegisters, bool onlyMultipleWrites)
{
    std::lock_guard<std::mutex> lock(mutex_);
    maxRegisters_ = maxRegisters;
    onlyMultipleWrites_ = onlyMultipleWrites;
}

void FakeModbusServer::SetNumberInValues(bool on)
{
    std::lock_guard<std::mutex> lock(mutex_);
    numberInValues_ = on;
}

void FakeModbusServer::SetConnectionLimit(int transactions, int lifetimeMs)
{
    std::lock_guard<std::mutex> lock(mutex_);
    limitTransactions_ = transactions;
    limitLifetimeMs_ = lifetimeMs;
}

std::vector<int64_t> FakeModbusServer::AcceptTimesUs() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return acceptTimesUs_;
}

std::vector<uint8_t> FakeModbusServer::Received() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
}

std::vector<std::vector<uint8_t>> FakeModbusServer::Requests() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

std::vector<int64_t> FakeModbusServer::RequestTimesUs() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return requestTimesUs_;
}

std::vector<uint8_t> FakeModbusServer::ConnectionBytes(int index) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (index < 0 || index >= static_cast<int>(connectionBytes_.size()))
        return {};
    return connectionBytes_[index];
}

size_t FakeModbusServer::RequestCount() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_.size();
}

int FakeModbusServer::Accepted() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(connectionBytes_.size());
}

int FakeModbusServer::Closed() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return closed_;
}

void FakeModbusServer::ClearRecords()
{
    std::lock_guard<std::mutex> lock(mutex_);
    received_.clear();
    requests_.clear();
    requestTimesUs_.clear();
    // Emptied, not removed: a connection keeps its index.
    for (std::vector<uint8_t>& bytes : connectionBytes_)
        bytes.clear();
}

bool FakeModbusServer::WaitForRequests(size_t count, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return requests_.size() >= count; });
}

bool FakeModbusServer::WaitForAccepted(int count, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return static_cast<int>(connectionBytes_.size()) >= count; });
}

bool FakeModbusServer::WaitForClosed(int count, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return closed_ >= count; });
}

void FakeModbusServer::DropClients()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        dropRequested_ = true;
    }
    Wake();
    // Done once the server thread has seen the request.
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, std::chrono::seconds(5), [&] { return !dropRequested_; });
}

void FakeModbusServer::SetListening(bool on)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        listenWanted_ = on;
    }
    Wake();
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, std::chrono::seconds(5), [&] { return (listenFd_ >= 0) == on; });
}

// Server thread.
void FakeModbusServer::ApplyListening(bool wanted)
{
    if (!wanted && listenFd_ >= 0) {
        for (Client& c : clients_)
            CloseClient(c, false);
        std::lock_guard<std::mutex> lock(mutex_);
        close(listenFd_);
        listenFd_ = -1;
        changed_.notify_all();
    } else if (wanted && listenFd_ < 0) {
        int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        int one = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port_);
        if (fd >= 0 && (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 16) != 0)) {
            close(fd);
            fd = -1;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        listenFd_ = fd;
        changed_.notify_all();
    }
}

void FakeModbusServer::Run()
{
    for (;;) {
        bool drop;
        bool listen;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stop_)
                return;
            drop = dropRequested_;
            listen = listenWanted_;
        }
        ApplyListening(listen);
        if (drop) {
            for (Client& c : clients_)
                CloseClient(c, false);
            std::lock_guard<std::mutex> lock(mutex_);
            dropRequested_ = false;
            changed_.notify_all();
        }
        std::erase_if(clients_, [](const Client& c) { return c.fd < 0; });

        // Sleep until input arrives, the next scheduled reply is due or a
        // connection's lifetime ends.
        int64_t now = NowMs();
        int timeout = -1;
        auto until = [&](int64_t dueMs) {
            const int64_t wait = std::max<int64_t>(0, dueMs - now);
            if (timeout < 0 || wait < timeout)
                timeout = static_cast<int>(wait);
        };
        for (const Client& c : clients_) {
            if (!c.outgoing.empty())
                until(c.outgoing.front().dueMs);
            if (c.closeAtMs >= 0)
                until(c.closeAtMs);
        }

        std::vector<pollfd> fds;
        fds.push_back({wakeFds_[0], POLLIN, 0});
        fds.push_back({listenFd_, POLLIN, 0});
        for (const Client& c : clients_)
            fds.push_back({c.fd, POLLIN, 0});
        if (poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR)
            return;

        if (fds[0].revents) {
            char drain[64];
            while (read(wakeFds_[0], drain, sizeof drain) > 0) {
            }
        }
        if (fds[1].revents & POLLIN)
            Accept();
        for (size_t i = 2; i < fds.size(); ++i)
            if (fds[i].revents)
                ReadFrom(clients_[i - 2]);
        now = NowMs();
        for (Client& c : clients_) {
            SendDue(c, now);
            if (c.closeAtMs >= 0 && now >= c.closeAtMs)
                CloseClient(c, false);
        }
    }
}

void FakeModbusServer::Accept()
{
    for (;;) {
        int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            return;
        // Parts of a split reply must leave as separate segments.
        int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        Client c;
        c.fd = fd;
        int transactions, lifetimeMs;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            c.index = static_cast<int>(connectionBytes_.size());
            connectionBytes_.emplace_back();
            acceptTimesUs_.push_back(NowUs());
            transactions = limitTransactions_;
            lifetimeMs = limitLifetimeMs_;
            changed_.notify_all();
        }
        if (lifetimeMs >= 0)
            c.closeAtMs = NowMs() + lifetimeMs;
        clients_.push_back(std::move(c));
        // Slots full: accepted, and closed at once.
        if (transactions == 0)
            CloseClient(clients_.back(), false);
    }
}

void FakeModbusServer::ReadFrom(Client& client)
{
    uint8_t buffer[4096];
    ssize_t n = recv(client.fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return;
    if (n <= 0) {
        CloseClient(client, false);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        received_.insert(received_.end(), buffer, buffer + n);
        auto& mine = connectionBytes_[client.index];
        mine.insert(mine.end(), buffer, buffer + n);
        changed_.notify_all();
    }
    client.inbound.insert(client.inbound.end(), buffer, buffer + n);

    // A request is complete once its MBAP length says so.
    while (client.fd >= 0 && client.inbound.size() >= 6) {
        size_t total = 6u + Get16(client.inbound, 4);
        if (total < 8 || client.inbound.size() < total)
            break;
        std::vector<uint8_t> request(client.inbound.begin(), client.inbound.begin() + total);
        client.inbound.erase(client.inbound.begin(), client.inbound.begin() + total);
        HandleRequest(client, request);
    }
}

void FakeModbusServer::HandleRequest(Client& client, const std::vector<uint8_t>& request)
{
    FakeReply reply;
    int transactions;
    uint16_t number;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        transactions = limitTransactions_;
        requests_.push_back(request);
        number = static_cast<uint16_t>(requests_.size());
        requestTimesUs_.push_back(
            std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
                .count());
        changed_.notify_all();
        if (!script_.empty()) {
            reply = script_.front();
            script_.pop_front();
        } else {
            reply = default_;
        }
    }

    // The device closes once this request is answered.
    const bool last = transactions > 0 && ++client.answered >= transactions;
    if (reply.strayFrames > 0) {
        // The request with another transaction id, as another master's
        // traffic or a confused gateway's would look.
        std::vector<uint8_t> stray(request.begin(), request.begin() + std::min<size_t>(request.size(), 12));
        stray[0] ^= 0x80;
        std::vector<uint8_t> flood;
        flood.reserve(stray.size() * static_cast<size_t>(reply.strayFrames));
        for (int i = 0; i < reply.strayFrames; ++i)
            flood.insert(flood.end(), stray.begin(), stray.end());
        Schedule(client, reply.delayMs, std::move(flood), false, false);
    }

    std::vector<uint8_t> bytes;
    switch (reply.kind) {
    case FakeReply::Silent:
        if (last)
            Schedule(client, reply.delayMs, {}, true, false);
        return;
    case FakeReply::Close:
        Schedule(client, reply.delayMs, {}, true, reply.reset);
        return;
    case FakeReply::Bytes:
        bytes = reply.bytes;
        if (reply.ownId && bytes.size() >= 2)
            std::copy(request.begin(), request.begin() + 2, bytes.begin());
        break;
    case FakeReply::Exception:
        bytes = ExceptionFrame(request, reply.exceptionCode, reply.flagged);
        break;
    case FakeReply::Answer:
        bytes = Answer(request, number);
        if (reply.length >= 0)
            bytes.resize(static_cast<size_t>(reply.length), 0);
        for (const auto& [at, value] : reply.patches)
            if (at >= 0 && static_cast<size_t>(at) < bytes.size())
                bytes[static_cast<size_t>(at)] = value;
        bytes.insert(bytes.begin(), reply.before.begin(), reply.before.end());
        break;
    }

    if (reply.splitAt > 0 && reply.splitAt < static_cast<int>(bytes.size())) {
        std::vector<uint8_t> rest(bytes.begin() + reply.splitAt, bytes.end());
        bytes.resize(static_cast<size_t>(reply.splitAt));
        Schedule(client, reply.delayMs, std::move(bytes), false, false);
        Schedule(client, reply.delayMs + reply.splitGapMs, std::move(rest), false, false);
    } else {
        Schedule(client, reply.delayMs, std::move(bytes), false, false);
    }
    if (last)
        Schedule(client, reply.delayMs + reply.splitGapMs, {}, true, false);
}

std::vector<uint8_t> FakeModbusServer::Answer(const std::vector<uint8_t>& request, uint16_t number)
{
    const int function = request[7];
    if (request.size() < 12 || ((function < 1 || function > 6) && function != 15 && function != 16))
        return ExceptionFrame(request, 1, true);

    const int address = Get16(request, 8);
    const int field = Get16(request, 10);
    std::lock_guard<std::mutex> lock(mutex_);

    if (function == 15 || function == 16) {
        // The byte count must be what the quantity needs and what follows.
        const bool coils = function == 15;
        const size_t bytes = coils ? (static_cast<size_t>(field) + 7) / 8 : 2u * static_cast<size_t>(field);
        if (field < 1 || field > (coils ? 1968 : 123) || request.size() < 13 ||
            request[12] != static_cast<uint8_t>(bytes) || request.size() != 13 + bytes)
            return ExceptionFrame(request, 3, true);
        if (address + field > 65536)
            return ExceptionFrame(request, 2, true);
        for (int i = 0; i < field; ++i) {
            const size_t at = 13 + static_cast<size_t>(coils ? i / 8 : 2 * i);
            values_[coils ? 1 : 3][address + i] =
                coils ? static_cast<uint16_t>((request[at] >> (i % 8)) & 1) : Get16(request, at);
        }
        // The echo of the header, function, address and quantity.
        std::vector<uint8_t> echo(request.begin(), request.begin() + 12);
        echo[4] = 0;
        echo[5] = 6;
        return echo;
    }

    if (function == 5 || function == 6) {
        if (onlyMultipleWrites_)
            return ExceptionFrame(request, 1, true);
        if (function == 5 && field != 0xFF00 && field != 0)
            return ExceptionFrame(request, 3, true);
        values_[function == 5 ? 1 : 3][address] = static_cast<uint16_t>(function == 5 ? field != 0 : field);
        return request;  // the echo
    }

    const int table = TableOfFunction(function);
    const bool bits = table <= 2;
    if (strict_ && (field < 1 || field > (bits ? 2000 : 125)))
        return ExceptionFrame(request, 3, true);
    if (!bits && maxRegisters_ > 0 && field > maxRegisters_)
        return ExceptionFrame(request, 3, true);
    if (address + field > 65536)
        return ExceptionFrame(request, 2, true);

    auto value = [&](int i) {
        return numberInValues_ ? (bits ? number & 1 : number) : values_[table - 1][address + i];
    };
    std::vector<uint8_t> data;
    if (bits) {
        data.assign((field + 7) / 8, 0);
        for (int i = 0; i < field; ++i)
            if (value(i))
                data[i / 8] |= static_cast<uint8_t>(1 << (i % 8));
    } else {
        for (int i = 0; i < field; ++i)
            Put16(data, static_cast<uint16_t>(value(i)));
    }

    std::vector<uint8_t> out(request.begin(), request.begin() + 4);
    Put16(out, static_cast<uint16_t>(3 + data.size()));
    out.push_back(request[6]);
    out.push_back(static_cast<uint8_t>(function));
    out.push_back(static_cast<uint8_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

void FakeModbusServer::Schedule(Client& client, int delayMs, std::vector<uint8_t> bytes, bool close, bool reset)
{
    // Replies leave in the order of their requests, as from a server that
    // handles one request after the other.
    int64_t due = NowMs() + delayMs;
    if (!client.outgoing.empty())
        due = std::max(due, client.outgoing.back().dueMs);
    client.outgoing.push_back({due, std::move(bytes), close, reset});
}

void FakeModbusServer::SendDue(Client& client, int64_t now)
{
    while (client.fd >= 0 && !client.outgoing.empty() && client.outgoing.front().dueMs <= now) {
        Outgoing out = std::move(client.outgoing.front());
        client.outgoing.pop_front();
        if (out.close) {
            CloseClient(client, out.reset);
            return;
        }
        size_t sent = 0;
        while (sent < out.bytes.size()) {
            ssize_t n = send(client.fd, out.bytes.data() + sent, out.bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) {
                CloseClient(client, false);
                return;
            }
            sent += static_cast<size_t>(n);
        }
    }
}

void FakeModbusServer::CloseClient(Client& client, bool reset)
{
    if (client.fd < 0)
        return;
    if (reset) {
        linger hard{1, 0};
        setsockopt(client.fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    }
    close(client.fd);
    client.fd = -1;
    client.outgoing.clear();
    std::lock_guard<std::mutex> lock(mutex_);
    ++closed_;
    changed_.notify_all();
}
