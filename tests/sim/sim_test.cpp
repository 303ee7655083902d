// The simulator as a user runs it: a separate process on loopback, talked
// to by libmodbus as a Modbus client and by a plain socket as the client's
// server command.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include <modbus.h>

namespace {

class SimProcess {
public:
    explicit SimProcess(const char* portArgument = "0")
    {
        int out[2];
        if (pipe(out) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], STDOUT_FILENO);
            close(out[0]);
            close(out[1]);
            execl(SORBEL_SIM_PATH, SORBEL_SIM_PATH, portArgument, static_cast<char*>(nullptr));
            _exit(127);
        }
        close(out[1]);
        out_ = out[0];
        std::string line = ReadLine(5000);
        auto colon = line.rfind(':');
        if (line.find("listening") != std::string::npos && colon != std::string::npos)
            port_ = std::stoi(line.substr(colon + 1));
    }
    ~SimProcess()
    {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0)
            close(out_);
    }
    int Port() const { return port_; }

    // Exit code, or -1 when it is still running after timeoutMs.
    int WaitExit(int timeoutMs)
    {
        for (int waited = 0; waited <= timeoutMs; waited += 10) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                exited_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return -1;
    }

private:
    std::string ReadLine(int timeoutMs)
    {
        std::string line;
        char c;
        pollfd p{out_, POLLIN, 0};
        while (poll(&p, 1, timeoutMs) > 0 && read(out_, &c, 1) == 1 && c != '\n')
            line += c;
        return line;
    }

    pid_t pid_ = -1;
    int out_ = -1;
    int port_ = 0;
    bool exited_ = false;
};

void SendRaw(int port, const std::string& text)
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && !text.empty())
        send(fd, text.data(), text.size(), MSG_NOSIGNAL);
    close(fd);
}

struct ModbusClient {
    explicit ModbusClient(int port) : ctx(modbus_new_tcp("127.0.0.1", port))
    {
        ok = ctx && modbus_connect(ctx) == 0;
    }
    ~ModbusClient()
    {
        if (ctx) {
            modbus_close(ctx);
            modbus_free(ctx);
        }
    }
    modbus_t* ctx;
    bool ok = false;
};

} // namespace

TEST(Simulator, ServesAllFourTablesToOneClientAfterAnother)
{
    SimProcess sim;
    ASSERT_GT(sim.Port(), 0);

    uint16_t inputsBefore[4], inputsAfter[4], holding[3];
    {
        ModbusClient client(sim.Port());
        ASSERT_TRUE(client.ok);
        uint8_t bits[16];
        ASSERT_EQ(modbus_read_input_bits(client.ctx, 1, 16, bits), 16);
        ASSERT_EQ(modbus_read_bits(client.ctx, 1, 16, bits), 16);
        ASSERT_EQ(modbus_read_registers(client.ctx, 1, 3, holding), 3);
        EXPECT_EQ(holding[0], 1);
        ASSERT_EQ(modbus_read_input_registers(client.ctx, 1, 4, inputsBefore), 4);

        // Writes stick.
        ASSERT_EQ(modbus_write_register(client.ctx, 2, 4711), 1);
        ASSERT_EQ(modbus_write_bit(client.ctx, 5, 0), 1);
        // A refused quantity is an exception, not the end of the session.
        uint16_t many[200];
        EXPECT_EQ(modbus_read_registers(client.ctx, 0, 200, many), -1);
        EXPECT_EQ(modbus_read_registers(client.ctx, 1, 3, holding), 3);
        EXPECT_EQ(holding[1], 4711);
    }

    // A caller that says nothing does not stop it either.
    SendRaw(sim.Port(), "");
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    {
        ModbusClient client(sim.Port());
        ASSERT_TRUE(client.ok);
        ASSERT_EQ(modbus_read_input_registers(client.ctx, 1, 4, inputsAfter), 4);
        EXPECT_NE(inputsAfter[0], inputsBefore[0]);  // inputs move with time
        ASSERT_EQ(modbus_read_registers(client.ctx, 1, 3, holding), 3);
        EXPECT_EQ(holding[1], 4711);
        uint8_t coil = 1;
        ASSERT_EQ(modbus_read_bits(client.ctx, 5, 1, &coil), 1);
        EXPECT_EQ(coil, 0);
    }
    EXPECT_EQ(sim.WaitExit(0), -1);
}

TEST(Simulator, QuitCommandStopsIt)
{
    SimProcess sim;
    ASSERT_GT(sim.Port(), 0);
    SendRaw(sim.Port(), "quit");
    EXPECT_EQ(sim.WaitExit(5000), 0);
}

TEST(Simulator, RefusesABadPortArgument)
{
    SimProcess sim("70000");
    EXPECT_EQ(sim.Port(), 0);
    EXPECT_EQ(sim.WaitExit(5000), 2);
}
