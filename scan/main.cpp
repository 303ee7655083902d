// sorbel-scan: which unit ids answer on a Modbus/TCP gateway or an RTU
// line, what they are (function 43/14), and which registers of one of them
// can be read. CSV on standard output.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "scan/scan_options.h"
#include "scan/scan_run.h"

namespace {

volatile sig_atomic_t gStop = 0;

void OnStop(int)
{
    gStop = 1;
}

}  // namespace

int main(int argc, char** argv)
{
    ScanOptions options;
    const std::string error = ParseScanOptions(argc, argv, options);
    if (!error.empty()) {
        std::fprintf(stderr, "sorbel-scan: %s\n\n%s", error.c_str(), ScanUsage());
        return 2;
    }
    if (options.help) {
        std::fputs(ScanUsage(), stdout);
        return 0;
    }

    // Ctrl+C ends the scan between two requests, with what it found so far.
    struct sigaction action {};
    action.sa_handler = OnStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    ScanOutput output;
    output.progress = isatty(STDERR_FILENO) != 0;
    output.stop = &gStop;
    return RunScan(options, output);
}
