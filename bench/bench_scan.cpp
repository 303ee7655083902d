// sorbel-scan against the simulator, both as their own processes, at the
// default settings: how long the scans of the goals take and how many
// requests they send (the scan's own summary line says so).
//   units 1-8: 1 and 7 answer, 3 is absent behind the gateway, 5 refuses
//     every probe with exception 02, the rest are silent; with --id;
//   units 1-247 with only unit 1 answering;
//   holding registers 0-9999 of one unit with holes at 100-199 and
//     5000-5004.
// Prints each run and the median of the runs; `--runs N` (default 5) for
// the short ones, the 247-unit scan runs twice.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/program_run.h"
#include "tests/support/sim_process.h"

namespace {

struct Timed {
    double seconds = 0;
    int requests = 0;
    bool right = false;
};

// The number before " requests" in the scan's summary line.
int RequestsOf(const std::string& err)
{
    const size_t at = err.rfind(" requests in ");
    if (at == std::string::npos)
        return -1;
    const size_t start = err.find_last_of(' ', at - 1) + 1;
    return std::atoi(err.c_str() + start);
}

Timed RunScan(const std::vector<std::string>& args, const std::string& expected)
{
    const auto start = std::chrono::steady_clock::now();
    const ProgramRun run = RunProgram(SORBEL_SCAN_PATH, args, 300000);
    Timed t;
    t.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    t.requests = RequestsOf(run.err);
    t.right = run.exitCode == 0 && run.out == expected;
    if (!t.right)
        std::fprintf(stderr, "unexpected result (exit %d):\n%s%s", run.exitCode, run.out.c_str(), run.err.c_str());
    return t;
}

void Report(const char* what, std::vector<Timed> runs, double goalSeconds, int goalRequests)
{
    std::sort(runs.begin(), runs.end(), [](const Timed& a, const Timed& b) { return a.seconds < b.seconds; });
    bool right = true;
    for (const Timed& t : runs) {
        std::printf("  %-34s %6.2f s %5d requests%s\n", what, t.seconds, t.requests, t.right ? "" : "  WRONG");
        right = right && t.right;
    }
    const Timed& median = runs[runs.size() / 2];
    std::printf("%-36s median %6.2f s", what, median.seconds);
    if (goalSeconds > 0)
        std::printf(" (goal < %.0f s)", goalSeconds);
    std::printf(", %d requests", median.requests);
    if (goalRequests > 0)
        std::printf(" (goal < %d)", goalRequests);
    std::printf(", output %s\n\n", right ? "right" : "WRONG");
}

}  // namespace

int main(int argc, char** argv)
{
    int runs = 5;
    if (argc == 3 && std::strcmp(argv[1], "--runs") == 0)
        runs = std::max(1, std::atoi(argv[2]));

    {
        SimProcess sim({"--port", "0", "--units", "1,5,7", "--gateway-absent", "3", "--identity", "Sorbel;SIM-1;1.0",
                        "--holes", "5/coils:0,5/inputs:0,5/input-registers:0,5/holding-registers:0"});
        const std::string target = "127.0.0.1:" + std::to_string(sim.Port());
        const std::string expected = "unit,status,vendor,product,revision\n1,answers,Sorbel,SIM-1,1.0\n2,silent,,,\n"
                                     "3,absent,,,\n4,silent,,,\n5,exception,Sorbel,SIM-1,1.0\n6,silent,,,\n"
                                     "7,answers,Sorbel,SIM-1,1.0\n8,silent,,,\n";
        std::vector<Timed> times;
        for (int i = 0; i < runs; i++)
            times.push_back(RunScan({target, "--units", "1-8", "--id"}, expected));
        Report("units 1-8 --id", times, 8, 0);
    }
    {
        SimProcess sim({"--port", "0", "--holes", "holding-registers:100-199,holding-registers:5000-5004"});
        const std::string target = "127.0.0.1:" + std::to_string(sim.Port());
        const std::string expected = "table,first,last,status\nholding-registers,0,99,readable\n"
                                     "holding-registers,100,199,unreadable\nholding-registers,200,4999,readable\n"
                                     "holding-registers,5000,5004,unreadable\nholding-registers,5005,9999,readable\n";
        std::vector<Timed> times;
        for (int i = 0; i < runs; i++)
            times.push_back(RunScan({target, "--units", "1", "--registers", "holding-registers:0-9999"}, expected));
        Report("map holding-registers 0-9999", times, 0, 100);
    }
    {
        SimProcess sim({"--port", "0", "--units", "1"});
        const std::string target = "127.0.0.1:" + std::to_string(sim.Port());
        std::string expected = "unit,status,vendor,product,revision\n1,answers,,,\n";
        for (int unit = 2; unit <= 247; unit++)
            expected += std::to_string(unit) + ",silent,,,\n";
        std::vector<Timed> times;
        for (int i = 0; i < 2; i++)
            times.push_back(RunScan({target}, expected));
        Report("units 1-247, only 1 answering", times, 60, 0);
    }
    return 0;
}
