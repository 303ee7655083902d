// The Scan window's program side: a scan of unit ids or a map of one unit's
// registers over the connection the Communications page sets up, its
// results kept for "Save as CSV...", and "Use this unit".
//
// A scan uses the connection itself, so it runs only while not connected:
// "Scan..." and Start are off while connected or connecting, and the three
// "Connect / Disconnect" buttons are off while a scan runs. Main thread
// only.
#pragma once

// Installs the window's handlers (start-up).
void RegisterScanWindowHandlers();

// "Scan...": opens the window, or brings it to the front.
void OpenDeviceScan();

// From Start until the scan's end has been taken.
bool DeviceScanRunning();

// The connection's state changed: the window's Start and "Use this unit"
// follow it.
void DeviceScanFollowsLink();

// Asks a running scan to stop: it ends at once (over a serial port within
// one time-out). Returns at once.
void StopDeviceScan();
