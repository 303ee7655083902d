// sorbel-sim run as its own process, as a user runs it: started with
// options, its output read line by line, stopped at the end of the test.
#pragma once

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

class SimProcess {
public:
    explicit SimProcess(std::vector<std::string> options = {"--port", "0"})
    {
        int out[2], err[2];
        if (pipe(out) != 0 || pipe(err) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], STDOUT_FILENO);
            dup2(err[1], STDERR_FILENO);
            for (int fd : {out[0], out[1], err[0], err[1]})
                close(fd);
            std::vector<char*> argv{const_cast<char*>(SORBEL_SIM_PATH)};
            for (std::string& o : options)
                argv.push_back(o.data());
            argv.push_back(nullptr);
            execv(SORBEL_SIM_PATH, argv.data());
            _exit(127);
        }
        close(out[1]);
        close(err[1]);
        out_ = out[0];
        err_ = err[0];
        const std::string line = WaitForLine(Stdout, "listening", 5000);
        // "listening on ADDR:PORT"; a serial device has no port.
        const auto colon = line.rfind(':');
        if (colon != std::string::npos && colon + 1 < line.size() &&
            line.find_first_not_of("0123456789", colon + 1) == std::string::npos)
            port_ = std::stoi(line.substr(colon + 1));
        listening_ = !line.empty();
    }
    ~SimProcess()
    {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        for (int fd : {out_, err_})
            if (fd >= 0)
                close(fd);
    }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    int Port() const { return port_; }
    // It said it was listening (on a port or a serial device).
    bool Listening() const { return listening_; }
    pid_t Pid() const { return pid_; }

    // Exit code (128 + signal when killed), or -1 when it is still running
    // after timeoutMs.
    int WaitExit(int timeoutMs)
    {
        for (int waited = 0;; waited += 10) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                exited_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            if (waited >= timeoutMs)
                return -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    enum Stream { Stdout, Stderr };
    // The next line of the stream that contains text; empty after timeoutMs.
    std::string WaitForLine(Stream stream, const std::string& text, int timeoutMs)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        std::string& pending = stream == Stdout ? outText_ : errText_;
        for (;;) {
            for (size_t nl; (nl = pending.find('\n')) != std::string::npos;) {
                std::string line = pending.substr(0, nl);
                pending.erase(0, nl + 1);
                if (line.find(text) != std::string::npos)
                    return line;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
            pollfd p{stream == Stdout ? out_ : err_, POLLIN, 0};
            char buffer[512];
            ssize_t n;
            if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0 || (n = read(p.fd, buffer, sizeof buffer)) <= 0)
                return {};
            pending.append(buffer, static_cast<size_t>(n));
        }
    }

private:
    pid_t pid_ = -1;
    int out_ = -1, err_ = -1;
    int port_ = 0;
    bool listening_ = false;
    bool exited_ = false;
    std::string outText_, errText_;
};
