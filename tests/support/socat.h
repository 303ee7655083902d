// Pseudo-terminals joined by socat, as serial ports joined by a null-modem
// cable (PtyPair) or a TCP-to-serial converter (TcpPtyBridge). Tests that
// need them skip when socat is not installed.
#pragma once

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

inline bool SocatInstalled()
{
    const char* path = getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    for (size_t start = 0; start <= dirs.size();) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos)
            end = dirs.size();
        if (access((dirs.substr(start, end - start) + "/socat").c_str(), X_OK) == 0)
            return true;
        start = end + 1;
    }
    return false;
}

#define SKIP_WITHOUT_SOCAT()                                                                                           \
    do {                                                                                                               \
        if (!SocatInstalled())                                                                                         \
            GTEST_SKIP() << "socat is not installed (scripts/install-deps adds it)";                                   \
    } while (0)

// A socat process with the given addresses, its pseudo-terminals linked
// under a directory of its own; ended with the object.
class SocatProcess {
public:
    explicit SocatProcess(const std::vector<std::string>& addressesWithDir)
    {
        char pattern[] = "/tmp/sorbel-socat-XXXXXX";
        if (mkdtemp(pattern))
            dir_ = pattern;
        std::vector<std::string> args{"socat"};
        for (const std::string& a : addressesWithDir)
            args.push_back(Expand(a));
        pid_ = fork();
        if (pid_ == 0) {
            const int null = open("/dev/null", O_RDWR);
            dup2(null, STDOUT_FILENO);
            dup2(null, STDERR_FILENO);
            std::vector<char*> argv;
            for (std::string& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execvp("socat", argv.data());
            _exit(127);
        }
    }
    ~SocatProcess() { Stop(); }
    SocatProcess(const SocatProcess&) = delete;
    SocatProcess& operator=(const SocatProcess&) = delete;

    // The path of a link named name in the directory.
    std::string Link(const std::string& name) const { return dir_ + "/" + name; }

    // True once the link exists, false after timeoutMs.
    bool WaitForLink(const std::string& name, int timeoutMs = 5000) const
    {
        struct stat info {};
        for (int waited = 0; waited < timeoutMs; waited += 10) {
            if (stat(Link(name).c_str(), &info) == 0)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    // Ends socat: its pseudo-terminals go away, as an adapter pulled out.
    void Stop()
    {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
        if (!dir_.empty()) {
            for (const char* name : {"a", "b", "pty"})
                unlink(Link(name).c_str());
            rmdir(dir_.c_str());
            dir_.clear();
        }
    }

private:
    // "@" in an address stands for the directory.
    std::string Expand(std::string address) const
    {
        for (size_t at; (at = address.find('@')) != std::string::npos;)
            address.replace(at, 1, dir_);
        return address;
    }

    pid_t pid_ = -1;
    std::string dir_;
};

// Two pseudo-terminals, A() and B(), each end's bytes reaching the other.
class PtyPair {
public:
    PtyPair() : socat_({"pty,raw,echo=0,link=@/a", "pty,raw,echo=0,link=@/b"})
    {
        ready_ = socat_.WaitForLink("a") && socat_.WaitForLink("b");
    }
    bool Ready() const { return ready_; }
    std::string A() const { return socat_.Link("a"); }
    std::string B() const { return socat_.Link("b"); }
    void Stop() { socat_.Stop(); }

private:
    SocatProcess socat_;
    bool ready_ = false;
};

// A port on 127.0.0.1 that nothing listens on just now.
inline int FreeLoopbackPort()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size) == 0)
        port = ntohs(a.sin_port);
    close(fd);
    return port;
}

// A TCP-to-serial converter: socat listens on Port() of 127.0.0.1 and, once
// a client has connected, makes the pseudo-terminal Pty() whose bytes are
// the connection's. It takes one connection, so connect only when meant.
class TcpPtyBridge {
public:
    TcpPtyBridge()
        : port_(FreeLoopbackPort()),
          socat_({"TCP-LISTEN:" + std::to_string(port_) + ",reuseaddr,bind=127.0.0.1", "pty,raw,echo=0,link=@/pty"})
    {
    }
    int Port() const { return port_; }
    std::string Pty() const { return socat_.Link("pty"); }
    bool WaitForPty() const { return socat_.WaitForLink("pty"); }

private:
    int port_;
    SocatProcess socat_;
};
