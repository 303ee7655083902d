// sorbel-sim: a Modbus/TCP server to point Sorbel-Client at. Serves all four
// tables to several clients at once; a connection that sends the text
// "quit" instead of Modbus stops it. With --rtu it is a Modbus RTU device on
// a serial port instead.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "sim/listener.h"
#include "sim/rtu_server.h"
#include "sim/sim_options.h"
#include "sim/sim_server.h"

namespace {

volatile sig_atomic_t gStopSignal = 0;

void OnStopSignal(int)
{
    gStopSignal = 1;
}

}  // namespace

int main(int argc, char** argv)
{
    SimOptions options;
    const std::string error = ParseSimOptions(argc, argv, options);
    if (!error.empty()) {
        std::fprintf(stderr, "sorbel-sim: %s\n(sorbel-sim --help lists the options)\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(SimUsage(), stdout);
        return 0;
    }

    signal(SIGPIPE, SIG_IGN);
    // The stop signals stay blocked except while the server loop waits, so
    // they always end the wait instead of landing between check and wait.
    sigset_t stopSignals, waitMask;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigprocmask(SIG_BLOCK, &stopSignals, &waitMask);
    sigdelset(&waitMask, SIGINT);
    sigdelset(&waitMask, SIGTERM);
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    if (!options.rtuDevice.empty())
        return RunRtuSimulator(options, waitMask, gStopSignal);

    int port = 0;
    const int listener = OpenListener(options, port);
    if (listener < 0)
        return 1;
    std::printf("sorbel-sim: listening on %s:%d\n", options.bindAddress.c_str(), port);
    std::fflush(stdout);

    const int exitCode = RunSimulator(listener, options, waitMask, gStopSignal);
    close(listener);
    return exitCode;
}
