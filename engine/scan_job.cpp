#include "engine/scan_job.h"

#include <sys/socket.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

#include "connection/connect_attempt.h"
#include "ui/gui_call.h"

namespace {

// What the GUI thread and the scan's thread share, under mutex. Made once
// and never freed: the scan's thread may still wait on it while the
// process ends.
struct ScanShared {
    std::mutex mutex;
    // Woken for a job handed over, a stop asked for and a connect done.
    std::condition_variable wake;
    ScanJob job;  // the job handed over last, and how it reports
    ScanJobReports reports;
    uint32_t asked = 0;  // jobs handed over so far
    bool stop = false;   // asked to stop; cleared when a job is handed over
    // The job's open connection, so that a stop can break off the wait for
    // a reply at once; set and cleared by the scan's thread.
    Connection* connection = nullptr;
};

ScanShared& Shared()
{
    static auto* shared = new ScanShared;
    return *shared;
}

// One job as its thread runs it. Scan thread only.
struct Run {
    const ScanJob& job;
    const ScanJobReports& reports;
    ScanLink link;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    ScanJobOutcome outcome;
};

bool StopAsked()
{
    std::lock_guard<std::mutex> lock(Shared().mutex);
    return Shared().stop;
}

// Waits ms, or less when a stop is asked; false when it was.
bool Pause(uint32_t ms)
{
    std::unique_lock<std::mutex> lock(Shared().mutex);
    return !Shared().wake.wait_for(lock, std::chrono::milliseconds(ms), [] { return Shared().stop; });
}

// Runs on the connect attempt's thread.
void AttemptDone()
{
    std::lock_guard<std::mutex> lock(Shared().mutex);
    Shared().wake.notify_all();
}

// Opens the connection, giving the connect up when a stop is asked. False
// with outcome.end (stopped) or outcome.why set.
bool Open(Run& r)
{
    const ScanTarget& t = r.job.target;
    ConnectAttempt* attempt = t.transport == TransportRtuSerial ? StartSerialAttempt(t.serial, AttemptDone)
                                                                : StartConnectAttempt(t.host, t.port, AttemptDone);
    if (!attempt) {
        r.outcome.why = ScanOpenFailureText(t, ConnectFailed);
        return false;
    }
    bool stopped = false;
    {
        std::unique_lock<std::mutex> lock(Shared().mutex);
        Shared().wake.wait(lock, [attempt] { return Shared().stop || ConnectAttemptDone(attempt); });
        stopped = Shared().stop;
    }
    if (stopped) {
        AbandonConnectAttempt(attempt);
        r.outcome.end = ScanJobStopped;
        return false;
    }
    ConnectFailure failure = ConnectFailed;
    r.link.connection = FinishConnectAttempt(attempt, &failure);
    r.link.transactionId = 0;
    {
        std::lock_guard<std::mutex> lock(Shared().mutex);
        Shared().connection = r.link.connection;
    }
    if (!r.link.connection)
        r.outcome.why = ScanOpenFailureText(t, failure);
    return r.link.connection != nullptr;
}

// Closes the connection, after which a stop leaves it alone.
void Close(Run& r)
{
    {
        std::lock_guard<std::mutex> lock(Shared().mutex);
        Shared().connection = nullptr;
    }
    CloseConnection(r.link.connection);
    r.link.connection = nullptr;
}

// One request, after the gap; when the link is lost, over a connection
// made anew. False when a stop came during the gap or the connect, or the
// connection could not be made again: outcome.end says which.
bool Transact(Run& r, const ScanRequest& request, ScanReply* reply)
{
    for (int attempt = 0; attempt < 2; attempt++) {
        // The gap is waited here, where a stop can cut it short.
        if (const uint32_t gap = GapLeftMs(r.link); gap > 0 && !Pause(gap)) {
            r.outcome.end = ScanJobStopped;
            return false;
        }
        if (ScanTransact(r.link, request, reply))
            return true;
        Close(r);
        // A stop breaks the wait off by ending the connection under it.
        if (StopAsked()) {
            r.outcome.end = ScanJobStopped;
            return false;
        }
        if (!Open(r)) {
            if (r.outcome.end != ScanJobStopped)
                r.outcome.end = ScanJobLinkLost;
            return false;
        }
    }
    // Some gateways drop the connection rather than answer for a unit.
    *reply = ScanReply{};
    return true;
}

void ScanUnits(Run& r)
{
    UnitScan scan = StartUnitScan(r.job.firstUnit, r.job.lastUnit, r.job.identify);
    int shown = -1;
    ScanRequest request;
    ScanReply reply;
    while (NextUnitRequest(scan, &request)) {
        r.outcome.at = request.unit;
        if (StopAsked()) {
            r.outcome.end = ScanJobStopped;
            return;
        }
        if (request.unit != shown && r.reports.asking) {
            shown = request.unit;
            RunOnGui([&] { r.reports.asking(shown); });
        }
        if (!Transact(r, request, &reply))
            return;
        if (TakeUnitReply(scan, reply) && r.reports.unitDone)
            RunOnGui([&] { r.reports.unitDone(scan.results.back()); });
    }
}

void MapRegisters(Run& r)
{
    RegisterMap map =
        StartRegisterMap(static_cast<uint8_t>(r.job.mapUnit), r.job.table, r.job.firstAddress, r.job.lastAddress);
    ScanRequest request;
    ScanReply reply;
    while (NextMapRequest(map, &request)) {
        r.outcome.at = map.pos;
        if (StopAsked()) {
            r.outcome.end = ScanJobStopped;
            return;
        }
        if (!Transact(r, request, &reply))
            return;
        TakeMapReply(map, reply);
        if (r.reports.mapped)
            RunOnGui([&] { r.reports.mapped(map); });
    }
}

void RunJob(const ScanJob& job, const ScanJobReports& reports)
{
    Run r{job, reports, ScanLinkFor(job.target, job.pacing), std::chrono::steady_clock::now(), {}};
    if (Open(r)) {
        if (reports.connected)
            RunOnGui([&] { reports.connected(); });
        if (job.mapRegisters)
            MapRegisters(r);
        else
            ScanUnits(r);
    } else if (r.outcome.end != ScanJobStopped) {
        r.outcome.end = ScanJobNoConnection;
    }
    Close(r);
    r.outcome.requests = r.link.requests;
    r.outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - r.start).count();
    if (reports.ended)
        RunOnGui([&] { reports.ended(r.outcome); });
}

// Body of the scan's thread: sleeps until a job is handed over, runs it.
void ScanThread()
{
    uint32_t served = 0;
    for (;;) {
        ScanJob job;
        ScanJobReports reports;
        {
            std::unique_lock<std::mutex> lock(Shared().mutex);
            Shared().wake.wait(lock, [served] { return Shared().asked != served; });
            served = Shared().asked;
            job = Shared().job;
            reports = Shared().reports;
        }
        RunJob(job, reports);
    }
}

}  // namespace

bool StartScanJob(const ScanJob& job, const ScanJobReports& reports)
{
    // The thread is started once and kept: the process ends around it.
    static bool started = false;  // GUI thread only
    if (!started) {
        try {
            std::thread(ScanThread).detach();
            started = true;
        } catch (const std::system_error&) {
            return false;
        }
    }
    {
        std::lock_guard<std::mutex> lock(Shared().mutex);
        Shared().job = job;
        Shared().reports = reports;
        Shared().stop = false;
        Shared().asked++;
    }
    Shared().wake.notify_all();
    return true;
}

void StopScanJob()
{
    {
        std::lock_guard<std::mutex> lock(Shared().mutex);
        Shared().stop = true;
        // The wait for a reply ends at once: the socket reads as reset. A
        // serial port has no such end; its wait runs out within the time-out.
        const Connection* connection = Shared().connection;
        if (connection && connection->kind == ConnectionSocket && connection->fd >= 0)
            ::shutdown(connection->fd, SHUT_RDWR);
    }
    Shared().wake.notify_all();
}
