// Closing the window while a poll worker is busy ends the program at once
// with exit code 0 and writes nothing. The program runs as a child process;
// the bound below only detects a hang.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "tests/support/fake_modbus_server.h"

namespace {

struct ProbeResult {
    bool ended = false;
    int exitCode = -1;
    bool settingsWritten = false;
};

ProbeResult RunProbe(FakeModbusServer& server, const char* mode)
{
    char dir[] = "/tmp/sorbel-shutdown-XXXXXX";
    if (!mkdtemp(dir))
        return {};
    const std::string port = std::to_string(server.Port());

    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir) != 0)
            _exit(126);
        execl(SHUTDOWN_PROBE_PATH, SHUTDOWN_PROBE_PATH, port.c_str(), mode, static_cast<char*>(nullptr));
        _exit(127);
    }

    ProbeResult result;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    int status = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        if (waitpid(pid, &status, WNOHANG) == pid) {
            result.ended = true;
            result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!result.ended) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    result.settingsWritten = std::filesystem::exists(std::filesystem::path(dir) / "vidideze.conf");
    std::filesystem::remove_all(dir);
    return result;
}

}  // namespace

TEST(Shutdown, ClosingWhileTheWorkerWaitsForAnAnswerEndsAtOnce)
{
    FakeModbusServer server;
    server.SetDefault(FakeReply::Never());
    ProbeResult result = RunProbe(server, "waiting");
    EXPECT_TRUE(result.ended) << "still running after 10 s";
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_FALSE(result.settingsWritten);
    EXPECT_EQ(server.RequestCount(), 1u);  // the close did not wait for a time-out
}

TEST(Shutdown, ClosingWhileTheWorkerUpdatesTheWindowEndsAtOnce)
{
    FakeModbusServer server;
    ProbeResult result = RunProbe(server, "updating");
    EXPECT_TRUE(result.ended) << "still running after 10 s";
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_FALSE(result.settingsWritten);
}
