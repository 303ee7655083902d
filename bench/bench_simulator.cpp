// sorbel-sim under load: how long one client waits for a 10-register read
// when it is alone, and when eight other clients keep it busy (some of them
// sending half a frame and stalling), and how many requests a second it
// answers in all. Prints medians; the ratio shows whether busy clients can
// crowd out a quiet one.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

#include "tests/support/sim_process.h"

namespace {

using Clock = std::chrono::steady_clock;

int Connect(int port)
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(fd);
        return -1;
    }
    int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return fd;
}

// One read of 10 holding registers; false when the answer does not come.
bool ReadTen(int fd, uint16_t transaction)
{
    const uint8_t request[12] = {uint8_t(transaction >> 8), uint8_t(transaction), 0, 0, 0, 6, 1, 3, 0, 10, 0, 10};
    if (send(fd, request, sizeof request, MSG_NOSIGNAL) != sizeof request)
        return false;
    uint8_t response[29];
    size_t got = 0;
    while (got < sizeof response) {
        ssize_t n = recv(fd, response + got, sizeof response - got, 0);
        if (n <= 0)
            return false;
        got += static_cast<size_t>(n);
    }
    return true;
}

struct Latency {
    double median, p99;
};

Latency MeasureQuietClient(int port, int requests)
{
    int fd = Connect(port);
    std::vector<double> us;
    for (int i = 0; i < requests; ++i) {
        auto start = Clock::now();
        if (!ReadTen(fd, static_cast<uint16_t>(i)))
            break;
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    close(fd);
    if (us.empty())
        return {0, 0};
    std::sort(us.begin(), us.end());
    return {us[us.size() / 2], us[us.size() * 99 / 100]};
}

}  // namespace

int main()
{
    SimProcess sim;
    if (sim.Port() <= 0) {
        std::fprintf(stderr, "bench_simulator: the simulator did not start\n");
        return 1;
    }
    constexpr int kRequests = 2000;
    const Latency alone = MeasureQuietClient(sim.Port(), kRequests);

    std::atomic<bool> stop{false};
    std::atomic<long> answered{0};
    std::vector<std::thread> busy;
    std::vector<int> stalled;
    for (int i = 0; i < 6; ++i)
        busy.emplace_back([&] {
            int fd = Connect(sim.Port());
            for (uint16_t t = 0; !stop && ReadTen(fd, t); ++t)
                ++answered;
            close(fd);
        });
    for (int i = 0; i < 2; ++i) {
        stalled.push_back(Connect(sim.Port()));
        const uint8_t half[8] = {0, 1, 0, 0, 0, 6, 1, 3};
        send(stalled.back(), half, sizeof half, MSG_NOSIGNAL);
    }
    const auto loadStart = Clock::now();
    const Latency loaded = MeasureQuietClient(sim.Port(), kRequests);
    const double seconds = std::chrono::duration<double>(Clock::now() - loadStart).count();
    stop = true;
    for (std::thread& t : busy)
        t.join();
    for (int fd : stalled)
        close(fd);

    std::printf("Read of 10 holding registers, round trip, %d requests:\n", kRequests);
    std::printf("  alone                          median %8.1f us   p99 %8.1f us\n", alone.median, alone.p99);
    std::printf("  beside 6 busy and 2 stalled    median %8.1f us   p99 %8.1f us\n", loaded.median, loaded.p99);
    std::printf("  median ratio loaded / alone    %8.2f\n", loaded.median / alone.median);
    std::printf("Requests answered to the busy clients: %.0f per second\n",
                static_cast<double>(answered.load()) / seconds);
    return 0;
}
