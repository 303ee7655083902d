// The Scan window: which unit ids answer over the connection the
// Communications page sets up, and which addresses of one unit can be read.
// Two tabs, "Units" and "Registers", each with what to ask, Start and Stop,
// a progress bar, a line that says where the scan stands, a table of what
// was found and "Save as CSV..."; the Units tab also has "Use this unit".
// The time-out and gap of each request are set below the tabs.
//
// The window knows nothing of the program: it asks through its handlers and
// shows what it is told. Closing it only hides it, so that the results stay
// until the next scan. GUI thread only; calls that show something do nothing
// while there is no window.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "modbus/register_map.h"
#include "modbus/scan_exchange.h"

class QWidget;

enum ScanTab { ScanTabUnits, ScanTabRegisters };

struct ScanUnitsAsk {
    int firstUnit = 1;
    int lastUnit = 247;
    bool identify = false;
};

struct ScanMapAsk {
    int unit = 1;
    MapTable table = MapHoldingRegisters;
    int firstAddress = 0;
    int lastAddress = 0;
};

struct ScanWindowHandlers {
    // Start on either tab, with the time-out and gap of the fields.
    void (*startUnits)(const ScanUnitsAsk& ask, const ScanPacing& pacing) = nullptr;
    void (*startMap)(const ScanMapAsk& ask, const ScanPacing& pacing) = nullptr;
    void (*stop)() = nullptr;
    // "Save as CSV..." of a tab.
    void (*save)(ScanTab tab) = nullptr;
    // "Use this unit" with the unit of the selected row.
    void (*useUnit)(int unit) = nullptr;
    // The user closed the window.
    void (*closed)() = nullptr;
};

void SetScanWindowHandlers(const ScanWindowHandlers& handlers);

// Shows the window, made now with pacing in its fields, or brought to the
// front as it was. True when it was made now, with no results.
bool OpenScanWindow(const ScanPacing& pacing);

// The window, or null when it has not been made (or went with the main
// window).
QWidget* ScanWindow();

// The line above the tabs: what the scan goes to.
void ShowScanTarget(const std::string& text);

// Whether a scan runs (Start off, Stop on, the inputs fixed), and whether
// one may start now; why not is Start's tool tip. "Use this unit" needs a
// selected row and a scan that may start.
void ShowScanState(bool running, bool allowed, const std::string& whyNot);

// The line under a tab's Start and Stop.
void SetScanStatus(ScanTab tab, const std::string& text);
std::string ScanStatus(ScanTab tab);

// The progress bar of a tab: done of total.
void SetScanProgress(ScanTab tab, int done, int total);

// A tab's table: emptied, or rows from `from` on replaced by rows.
// Units: unit, status, vendor, product, revision. Registers: table, first,
// last, status.
using ScanRow = std::vector<std::string>;
void ClearScanRows(ScanTab tab);
void AddScanUnitRow(int unit, const ScanRow& cells);
void ReplaceScanMapRows(size_t from, const std::vector<ScanRow>& rows);
