// Start-up against a bare Qt window, under a real X server (Xvfb): the time
// from exec to the window being mapped, the RSS once it idles, and how many
// starts failed, for the client and for a bare Qt 6 window with one table
// view and one text pane, started alternately in the same run.
//
//   bench_startup [runs] [seconds] [client]
//       runs: starts of each program (default 20); seconds: how long each
//       runs before it is ended (default 1.5); client: the program to start
//       (default the build's sorbel-client). Needs DISPLAY (xvfb-run);
//       without one it says so and ends.
//   bench_startup --bare
//       the bare window itself (the bench starts itself with it)
//
// A start fails when no window is mapped before the program exits or the
// time is up; its exit status and the first line it printed are counted.
#include <QApplication>
#include <QHBoxLayout>
#include <QTableView>
#include <QTextEdit>
#include <QWidget>

#include <xcb/xcb.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

double NowMs()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

double Median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

int BareWindow(int argc, char** argv)
{
    QApplication application(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Bare"));
    auto* layout = new QHBoxLayout(&window);
    layout->addWidget(new QTableView);
    layout->addWidget(new QTextEdit);
    window.resize(510, 561);
    window.show();
    return QApplication::exec();
}

double RssMiB(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string key;
    double kb = 0;
    while (status >> key) {
        if (key == "VmRSS:") {
            status >> kb;
            break;
        }
        status.ignore(4096, '\n');
    }
    return kb / 1024.0;
}

struct Result {
    std::vector<double> mapMs, rssMiB;
    int failures = 0;
    std::map<std::string, int> failureKinds;
};

// One start: exec, wait for a top-level window to be mapped, let it idle,
// read its RSS, end it.
void StartOnce(xcb_connection_t* x, const std::vector<std::string>& command, double seconds, Result& result)
{
    int err[2];
    if (pipe(err) != 0)
        return;
    const double start = NowMs();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(err[1], 2);
        close(err[0]);
        close(err[1]);
        std::vector<char*> args;
        for (const std::string& a : command)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(err[1]);
    fcntl(err[0], F_SETFL, O_NONBLOCK);

    double mapped = -1;
    int status = 0;
    bool exited = false;
    const double deadline = start + seconds * 1000.0;
    while (NowMs() < deadline && !exited) {
        xcb_flush(x);
        while (xcb_generic_event_t* event = xcb_poll_for_event(x)) {
            if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY && mapped < 0)
                mapped = NowMs() - start;
            free(event);
        }
        if (waitpid(pid, &status, WNOHANG) == pid)
            exited = true;
        else
            usleep(200);
    }
    if (!exited) {
        if (mapped >= 0)
            result.rssMiB.push_back(RssMiB(pid));
        kill(pid, SIGTERM);
        waitpid(pid, &status, 0);
    }
    char text[512] = {};
    ssize_t n = read(err[0], text, sizeof text - 1);
    close(err[0]);
    if (mapped >= 0) {
        result.mapMs.push_back(mapped);
        return;
    }
    result.failures++;
    std::string first = n > 0 ? std::string(text, static_cast<size_t>(n)) : std::string();
    first = first.substr(0, first.find('\n'));
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.failureKinds["exit " + std::to_string(code) + ": " + first]++;
}

void Print(const char* name, const Result& r, int runs)
{
    std::printf("  %-8s mapped after median %6.1f ms (min %6.1f)   idle RSS median %5.1f MiB   failed %d of %d\n", name,
                Median(r.mapMs), r.mapMs.empty() ? 0 : *std::min_element(r.mapMs.begin(), r.mapMs.end()),
                Median(r.rssMiB), r.failures, runs);
    for (const auto& [kind, count] : r.failureKinds)
        std::printf("           %3d x %s\n", count, kind.c_str());
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--bare") == 0)
        return BareWindow(argc, argv);
    if (!std::getenv("DISPLAY")) {
        std::printf("bench_startup: needs an X display (run it under xvfb-run)\n");
        return 0;
    }
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    const double seconds = argc > 2 ? std::atof(argv[2]) : 1.5;

    char self[4096] = {};
    if (readlink("/proc/self/exe", self, sizeof self - 1) <= 0)
        return 1;
    std::string client = argc > 3 ? argv[3] : std::string(self);
    if (argc <= 3)
        client = client.substr(0, client.rfind('/')) + "/../sorbel-client";

    xcb_connection_t* x = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(x)) {
        std::fprintf(stderr, "bench_startup: cannot connect to the display\n");
        return 1;
    }
    // Every top-level window mapped on the screen is reported to us.
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(x)).data;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(x, screen->root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(x);

    // The client keeps its settings in the working directory: use a scratch one.
    char dir[] = "/tmp/sorbel-startup-XXXXXX";
    if (mkdtemp(dir) && chdir(dir) != 0)
        return 1;

    std::string load;
    std::getline(std::ifstream("/proc/loadavg"), load);
    std::printf("Start-up under %s, %d starts each, alternating, %.1f s each (load %s):\n", std::getenv("DISPLAY"),
                runs, seconds, load.c_str());
    Result ours, bare;
    for (int i = 0; i < runs; ++i) {
        StartOnce(x, {client}, seconds, ours);
        StartOnce(x, {self, "--bare"}, seconds, bare);
    }
    Print("client", ours, runs);
    Print("bare", bare, runs);
    std::printf("  ratio of the medians: %.2f\n", Median(bare.mapMs) > 0 ? Median(ours.mapMs) / Median(bare.mapMs) : 0);
    xcb_disconnect(x);
    rmdir(dir);
    return 0;
}
