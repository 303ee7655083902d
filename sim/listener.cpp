#include "sim/listener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

int TryListen(const in_addr& address, int port)
{
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    // A restarted simulator must not wait for the old one's TIME_WAIT.
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr = address;
    a.sin_port = htons(static_cast<uint16_t>(port));
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(fd, 16) != 0) {
        int error = errno;
        close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

}  // namespace

int OpenListener(const SimOptions& options, int& boundPort)
{
    in_addr address{};
    if (inet_pton(AF_INET, options.bindAddress.c_str(), &address) != 1) {
        std::fprintf(stderr, "sorbel-sim: not an IPv4 address: %s\n", options.bindAddress.c_str());
        return -1;
    }

    int port = options.port >= 0 ? options.port : kDefaultModbusPort;
    int fd = TryListen(address, port);
    if (fd < 0 && options.port < 0 && (errno == EACCES || errno == EPERM)) {
        std::fprintf(stderr,
                     "sorbel-sim: not permitted to use port %d (it needs root or "
                     "CAP_NET_BIND_SERVICE); using port %d instead\n",
                     kDefaultModbusPort, kFallbackModbusPort);
        port = kFallbackModbusPort;
        fd = TryListen(address, port);
    }
    if (fd < 0) {
        std::fprintf(stderr, "sorbel-sim: cannot listen on %s:%d: %s\n", options.bindAddress.c_str(), port,
                     std::strerror(errno));
        return -1;
    }

    sockaddr_in bound{};
    socklen_t size = sizeof bound;
    getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &size);
    boundPort = ntohs(bound.sin_port);
    return fd;
}
