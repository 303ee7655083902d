// A scan as the command runs it: the connection opened (and opened again
// when it is lost), the scan core driven one request at a time, CSV lines
// on one stream and progress and notes on the other.
#pragma once

#include <csignal>
#include <cstdio>

#include "scan/scan_options.h"

struct ScanOutput {
    FILE* out = stdout;  // the CSV
    FILE* err = stderr;  // notes, the summary and, when progress is set, a line per unit
    bool progress = false;
    const volatile sig_atomic_t* stop = nullptr;  // non-zero: stop before the next request
};

// Runs the scan the options ask for. Returns the exit code: 0 when it ran,
// 1 when no connection could be made, 130 when stopped.
int RunScan(const ScanOptions& options, const ScanOutput& output);
