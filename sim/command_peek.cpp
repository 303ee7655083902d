#include "sim/command_peek.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

bool StartsWithQuit(int fd)
{
    static const char kQuit[] = "quit";
    const ssize_t want = sizeof kQuit - 1;
    char first[sizeof kQuit - 1];

    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, -1) < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        ssize_t n = recv(fd, first, sizeof first, MSG_PEEK);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;  // closed before saying anything
        if (std::memcmp(first, kQuit, static_cast<size_t>(n)) != 0)
            return false;
        if (n == want)
            return true;
        // A prefix of "quit" so far: poll would report the same bytes
        // again at once, so give the rest a moment to arrive.
        usleep(5000);
    }
}
