// A program run to its end as a user runs it: its standard output and
// error collected, its exit code kept.
#pragma once

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

struct ProgramRun {
    int exitCode = -1;  // 128 + signal when killed
    std::string out, err;
};

// Runs path with args; what it writes after timeoutMs is not collected.
inline ProgramRun RunProgram(const char* path, std::vector<std::string> args, int timeoutMs = 120000)
{
    int out[2], err[2];
    ProgramRun run;
    if (pipe(out) != 0 || pipe(err) != 0)
        return run;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        dup2(err[1], STDERR_FILENO);
        for (int fd : {out[0], out[1], err[0], err[1]})
            close(fd);
        std::vector<char*> argv{const_cast<char*>(path)};
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(path, argv.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    for (int open = 2; open > 0 && poll(fds, 2, timeoutMs) > 0;) {
        for (pollfd& p : fds) {
            char buffer[4096];
            if (p.fd < 0 || !(p.revents & (POLLIN | POLLHUP)))
                continue;
            const ssize_t n = read(p.fd, buffer, sizeof buffer);
            if (n > 0) {
                (p.fd == out[0] ? run.out : run.err).append(buffer, static_cast<size_t>(n));
            } else {
                close(p.fd);
                p.fd = -1;
                open--;
            }
        }
    }
    for (const pollfd& p : fds)
        if (p.fd >= 0)
            close(p.fd);
    int status = 0;
    waitpid(pid, &status, 0);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}
