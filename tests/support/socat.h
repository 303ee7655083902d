// socat joining two addresses: two pseudo-terminals as serial ports joined
// by a null-modem cable, or a TCP listener and a pseudo-terminal as a
// TCP-to-serial converter. Tests that need it skip without socat.
#pragma once

#include <netinet/in.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#define SKIP_WITHOUT_SOCAT()                                                                                           \
    if (access("/usr/bin/socat", X_OK) != 0)                                                                           \
    GTEST_SKIP() << "socat is not installed (scripts/install-deps adds it)"

// "@" in an address stands for a directory of the process's own, where its
// pseudo-terminals are linked; it ends with the object.
class Socat {
public:
    Socat(std::string first, std::string second)
    {
        char pattern[] = "/tmp/sorbel-socat-XXXXXX";
        dir_ = mkdtemp(pattern) ? pattern : "/tmp";
        for (std::string* address : {&first, &second})
            for (size_t at; (at = address->find('@')) != std::string::npos;)
                address->replace(at, 1, dir_);
        pid_ = fork();
        if (pid_ == 0) {
            execl("/usr/bin/socat", "socat", first.c_str(), second.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ~Socat() { Stop(); }
    Socat(const Socat&) = delete;
    Socat& operator=(const Socat&) = delete;

    std::string Path(const char* name) const { return dir_ + "/" + name; }
    // True once socat has linked the pseudo-terminal name, within 5 s.
    bool WaitFor(const char* name) const
    {
        for (int i = 0; i < 500 && access(Path(name).c_str(), F_OK) != 0; i++)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return access(Path(name).c_str(), F_OK) == 0;
    }
    // Its pseudo-terminals go away, as an adapter pulled out.
    void Stop()
    {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
            rmdir(dir_.c_str());
        }
        pid_ = -1;
    }

private:
    std::string dir_;
    pid_t pid_ = -1;
};

// A port of 127.0.0.1 that nothing listens on just now.
inline int FreeLoopbackPort()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    const bool bound = bind(fd, reinterpret_cast<sockaddr*>(&a), size) == 0 &&
                       getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size) == 0;
    close(fd);
    return bound ? ntohs(a.sin_port) : 0;
}
