#include "engine/device_scan.h"

#include <cstdio>
#include <string>
#include <vector>

#include "common/number_rule.h"
#include "dataview/scan_csv.h"
#include "dataview/scan_words.h"
#include "engine/control_states.h"
#include "engine/program_state.h"
#include "engine/scan_job.h"
#include "engine/transport_choice.h"
#include "ui/control_ids.h"
#include "ui/controls.h"
#include "ui/file_dialog.h"
#include "ui/message_box.h"
#include "ui/scan_window.h"

namespace {

// Main only; file-local: the scan that runs or ran last, and what it found.
struct DeviceScanState {
    bool running = false;        // from Start until the job's end was taken
    ScanTab tab = ScanTabUnits;  // the tab it was started from
    ScanJob job;
    // The units done, in order, of the last scan of units; the ranges of the
    // last map, in address order. Each kept until the next scan of its kind.
    std::vector<UnitResult> units;
    MapTable mapTable = MapHoldingRegisters;
    std::vector<MapRange> ranges;
};
DeviceScanState gScan;

constexpr const char* kWhyConnected = "Disconnect first: a scan uses the connection itself.";
constexpr const char* kWhyConnecting = "A connect is under way.";

std::string WhyNotNow()
{
    switch (program.link.state) {
    case LinkOff:
        return {};
    case LinkConnecting:
        return kWhyConnecting;
    case LinkUp:
    case LinkDown:
        break;
    }
    return kWhyConnected;
}

// The connection the Communications page sets up.
ScanTarget PageTarget()
{
    ScanTarget target;
    target.transport = ChosenTransport();
    target.host = GetControlText(IdHostField);
    target.port = TextToInt32(GetControlText(IdPortField));
    target.serial = ChosenSerialLine();
    return target;
}

std::string TargetLine(const ScanTarget& target)
{
    return "Over " + ScanTargetText(target) + ", as the Communications page sets it up.";
}

void RefreshWindowState()
{
    ShowScanState(gScan.running, program.link.state == LinkOff, WhyNotNow());
}

// Why a scan of units first..last (or one unit, a map's) cannot go to
// target; empty when it can.
std::string Refusal(const ScanTarget& target, int first, int last)
{
    if (target.transport == TransportRtuSerial && target.serial.port.empty())
        return "Choose the serial port on the Communications page first.";
    if (first < LowestScanUnit(target.transport) || last > HighestScanUnit(target.transport))
        return "Over RTU, unit ids are 1-247: 0 is the broadcast, which no device answers.";
    return {};
}

void Connected();
void Asking(int unit);
void UnitDone(const UnitResult& result);
void Mapped(const RegisterMap& map);
void Ended(const ScanJobOutcome& outcome);

// A job to the page's target, paced so.
ScanJob PageJob(const ScanPacing& pacing)
{
    ScanJob job;
    job.target = PageTarget();
    job.pacing = pacing;
    return job;
}

// Starts job from tab, asking units firstUnit..lastUnit, total steps long;
// or says on the tab why it cannot go.
void Begin(ScanTab tab, const ScanJob& job, int firstUnit, int lastUnit, int total)
{
    if (gScan.running || program.link.state != LinkOff)
        return;
    const std::string refusal = Refusal(job.target, firstUnit, lastUnit);
    if (!refusal.empty()) {
        SetScanStatus(tab, refusal);
        return;
    }
    ShowScanTarget(TargetLine(job.target));
    gScan.tab = tab;
    gScan.job = job;
    if (tab == ScanTabUnits) {
        gScan.units.clear();
    } else {
        gScan.mapTable = job.table;
        gScan.ranges.clear();
    }
    ClearScanRows(tab);
    SetScanProgress(tab, 0, total);
    if (!StartScanJob(job, {Connected, Asking, UnitDone, Mapped, Ended})) {
        SetScanStatus(tab, "The scan could not be started: no thread for it.");
        return;
    }
    SetScanStatus(tab, "Connecting to " + ScanTargetText(job.target) + "...");
    gScan.running = true;
    EnableConnectButtons(false);
    RefreshWindowState();
}

void StartUnits(const ScanUnitsAsk& ask, const ScanPacing& pacing)
{
    ScanJob job = PageJob(pacing);
    job.firstUnit = ask.firstUnit;
    job.lastUnit = ask.lastUnit;
    job.identify = ask.identify;
    Begin(ScanTabUnits, job, job.firstUnit, job.lastUnit, job.lastUnit - job.firstUnit + 1);
}

void StartMap(const ScanMapAsk& ask, const ScanPacing& pacing)
{
    ScanJob job = PageJob(pacing);
    job.mapRegisters = true;
    job.mapUnit = ask.unit;
    job.table = ask.table;
    job.firstAddress = ask.firstAddress;
    job.lastAddress = ask.lastAddress;
    Begin(ScanTabRegisters, job, job.mapUnit, job.mapUnit, job.lastAddress - job.firstAddress + 1);
}

int UnitsAsked()
{
    return gScan.job.lastUnit - gScan.job.firstUnit + 1;
}

void Connected()
{
    if (gScan.tab == ScanTabRegisters)
        SetScanStatus(ScanTabRegisters,
                      "Connected; reading from address " + std::to_string(gScan.job.firstAddress) + "...");
}

void Asking(int unit)
{
    const int done = unit - gScan.job.firstUnit;
    SetScanStatus(ScanTabUnits, "Asking unit " + std::to_string(unit) + " (" + std::to_string(done + 1) + " of " +
                                    std::to_string(UnitsAsked()) + ")...");
}

void UnitDone(const UnitResult& result)
{
    gScan.units.push_back(result);
    ScanRow cells = {std::to_string(result.unit), UnitStatusWords(result)};
    for (const std::string& object : result.identity)
        cells.push_back(result.identified ? IdentityText(object) : std::string());
    AddScanUnitRow(result.unit, cells);
    SetScanProgress(ScanTabUnits, static_cast<int>(gScan.units.size()), UnitsAsked());
}

ScanRow MapRow(const MapRange& range)
{
    return {MapTableName(gScan.mapTable), std::to_string(range.first), std::to_string(range.last),
            RangeStatusWords(range.status)};
}

void Mapped(const RegisterMap& map)
{
    // Only the last range shown may have grown since; those before it are
    // final.
    const size_t from = gScan.ranges.empty() ? 0 : gScan.ranges.size() - 1;
    gScan.ranges = map.ranges;
    std::vector<ScanRow> rows;
    for (size_t i = from; i < gScan.ranges.size(); i++)
        rows.push_back(MapRow(gScan.ranges[i]));
    ReplaceScanMapRows(from, rows);
    SetScanProgress(ScanTabRegisters, map.pos - gScan.job.firstAddress,
                    gScan.job.lastAddress - gScan.job.firstAddress + 1);
    if (map.phase != MapDone)
        SetScanStatus(ScanTabRegisters, "Mapped up to address " + std::to_string(map.pos) + " of " +
                                            std::to_string(gScan.job.firstAddress) + "-" +
                                            std::to_string(gScan.job.lastAddress) + "...");
}

std::string Figures(const ScanJobOutcome& outcome)
{
    char text[64];
    std::snprintf(text, sizeof text, "%u request%s in %.1f s", outcome.requests, outcome.requests == 1 ? "" : "s",
                  outcome.seconds);
    return text;
}

// What a scan of units found, in a line.
std::string UnitsSummary(const ScanJobOutcome& outcome)
{
    const size_t done = gScan.units.size();
    std::string text = std::to_string(done) + (done == 1 ? " unit" : " units");
    if (done > 0)
        text += ": " + UnitCountsText(gScan.units);
    text += "; " + Figures(outcome) + ".";
    if (AllUnitsAlike(gScan.units))
        text += " Every unit answered alike: the device probably ignores the unit id.";
    return text;
}

std::string MapSummary(const ScanJobOutcome& outcome)
{
    const size_t count = gScan.ranges.size();
    return std::to_string(count) + (count == 1 ? " range" : " ranges") + "; " + Figures(outcome) + ".";
}

void Ended(const ScanJobOutcome& outcome)
{
    gScan.running = false;
    EnableConnectButtons(true);
    RefreshWindowState();
    const ScanTab tab = gScan.tab;
    const bool units = tab == ScanTabUnits;
    const std::string target = ScanTargetText(gScan.job.target);
    const std::string at = (units ? "unit " : "address ") + std::to_string(outcome.at);
    switch (outcome.end) {
    case ScanJobDone:
        SetScanProgress(tab, 1, 1);
        SetScanStatus(tab, units ? UnitsSummary(outcome) : MapSummary(outcome));
        break;
    case ScanJobStopped:
        SetScanStatus(tab,
                      "Stopped at " + at +
                          (units ? ". " + UnitsSummary(outcome) : ": the map ends before it. " + MapSummary(outcome)));
        break;
    case ScanJobNoConnection:
        SetScanStatus(tab, gScan.job.target.transport == TransportRtuSerial
                               ? outcome.why
                               : "Cannot connect to " + target + ": " + outcome.why + ".");
        break;
    case ScanJobLinkLost:
        SetScanStatus(tab, "The connection to " + target + " was lost at " + at +
                               " and cannot be made again: " + outcome.why);
        break;
    }
}

void Stop()
{
    if (!gScan.running)
        return;
    StopScanJob();
    SetScanStatus(gScan.tab, "Stopping...");
}

void Save(ScanTab tab)
{
    const bool units = tab == ScanTabUnits;
    if (units ? gScan.units.empty() : gScan.ranges.empty()) {
        SetScanStatus(tab, "Nothing to save yet: start a scan first.");
        return;
    }
    const std::string path = AskSaveFileName("Save as CSV", units ? "sorbel-scan-units.csv" : "sorbel-scan-map.csv",
                                             "CSV files (*.csv);;All files (*)");
    if (path.empty())
        return;
    const std::string text = units ? UnitCsvText(gScan.units) : MapCsvText(gScan.mapTable, gScan.ranges);
    std::string error;
    if (!SaveTextFile(path, text, error))
        ShowMessageBox("The scan could not be saved to " + path + ": " + error);
}

void UseUnit(int unit)
{
    // While connected the unit id is fixed: the poll asks the one it was
    // connected with.
    if (program.link.state != LinkOff)
        return;
    SetControlText(IdUnitField, std::to_string(unit));
    SetScanStatus(ScanTabUnits, "Modbus Unit Id is now " + std::to_string(unit) + ".");
}

void Closed()
{
    Stop();
}

}  // namespace

void RegisterScanWindowHandlers()
{
    ScanWindowHandlers handlers;
    handlers.startUnits = StartUnits;
    handlers.startMap = StartMap;
    handlers.stop = Stop;
    handlers.save = Save;
    handlers.useUnit = UseUnit;
    handlers.closed = Closed;
    SetScanWindowHandlers(handlers);
}

void OpenDeviceScan()
{
    // A window made anew shows nothing of an earlier one's scans.
    if (OpenScanWindow(program.scanPacing) && !gScan.running) {
        gScan.units.clear();
        gScan.ranges.clear();
    }
    if (!gScan.running)
        ShowScanTarget(TargetLine(PageTarget()));
    RefreshWindowState();
}

bool DeviceScanRunning()
{
    return gScan.running;
}

void DeviceScanFollowsLink()
{
    RefreshWindowState();
}

void StopDeviceScan()
{
    Stop();
}
