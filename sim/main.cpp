// sorbel-sim: a Modbus/TCP server on 127.0.0.1 to point Sorbel-Client at.
// Serves one client after another; a connection that starts with the text
// "quit" (the client's default server command) stops it.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <modbus.h>

#include "sim/command_peek.h"
#include "sim/live_values.h"

namespace {

constexpr int kDefaultPort = 1502;

uint32_t QuarterSecondsSince(std::chrono::steady_clock::time_point start)
{
    auto elapsed = std::chrono::steady_clock::now() - start;
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count() / 250);
}

// Answers the client's requests until it goes away.
void Serve(modbus_t* ctx, modbus_mapping_t* mapping, std::chrono::steady_clock::time_point start)
{
    uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
    uint32_t shownStep = UINT32_MAX;
    for (;;) {
        int length = modbus_receive(ctx, query);
        if (length == 0)
            continue;  // a request not meant for this server
        if (length < 0)
            return;    // closed, reset or garbled
        uint32_t step = QuarterSecondsSince(start);
        if (step != shownStep) {
            UpdateLiveValues(mapping, step);
            shownStep = step;
        }
        // Refused requests get their exception response inside; only a
        // failed send comes back negative.
        if (modbus_reply(ctx, query, length, mapping) < 0)
            return;
    }
}

} // namespace

int main(int argc, char** argv)
{
    long port = kDefaultPort;
    if (argc > 2 || (argc == 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0))) {
        std::fprintf(stderr, "usage: sorbel-sim [PORT]   (default %d; 0 picks a free port)\n", kDefaultPort);
        return 2;
    }
    if (argc == 2) {
        char* end = nullptr;
        port = std::strtol(argv[1], &end, 10);
        if (*argv[1] == '\0' || *end != '\0' || port < 0 || port > 65535) {
            std::fprintf(stderr, "sorbel-sim: not a port number: %s\n", argv[1]);
            return 2;
        }
    }
    std::signal(SIGPIPE, SIG_IGN);

    modbus_t* ctx = modbus_new_tcp("127.0.0.1", static_cast<int>(port));
    modbus_mapping_t* mapping =
        modbus_mapping_new(kSimTableSize, kSimTableSize, kSimTableSize, kSimTableSize);
    if (!ctx || !mapping) {
        std::fprintf(stderr, "sorbel-sim: out of memory\n");
        return 1;
    }
    SetInitialValues(mapping);

    int server = modbus_tcp_listen(ctx, 1);
    if (server < 0) {
        std::fprintf(stderr, "sorbel-sim: cannot listen on 127.0.0.1:%ld: %s\n", port, modbus_strerror(errno));
        modbus_mapping_free(mapping);
        modbus_free(ctx);
        return 1;
    }
    sockaddr_in bound{};
    socklen_t size = sizeof bound;
    getsockname(server, reinterpret_cast<sockaddr*>(&bound), &size);
    std::printf("sorbel-sim: listening on 127.0.0.1:%u\n", ntohs(bound.sin_port));
    std::fflush(stdout);

    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        int client = accept(server, nullptr, nullptr);
        if (client < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            std::fprintf(stderr, "sorbel-sim: accept failed: %s\n", std::strerror(errno));
            break;
        }
        if (StartsWithQuit(client)) {
            close(client);
            std::printf("sorbel-sim: quit received, stopping\n");
            break;
        }
        modbus_set_socket(ctx, client);
        Serve(ctx, mapping, start);
        close(client);
        modbus_set_socket(ctx, -1);
    }

    close(server);
    modbus_mapping_free(mapping);
    modbus_free(ctx);
    return 0;
}
