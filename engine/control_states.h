// The control states that follow the link: which controls are enabled,
// whether the writable value columns edit, and the read status. Main
// thread only.
#pragma once

#include <string>

constexpr const char* kStatusNotConnected = "Read Status: Not Connected";

// Enables, disables and switches editing of the controls for the link's
// state; writes the read status.
void UpdateConnectionControls();

// The three "Connect / Disconnect" buttons, greyed while a disconnect waits
// for the cycle in progress.
void EnableConnectButtons(bool enabled);

// "Status: Link Down, reconnecting (attempt n)".
std::string LinkDownStatus();
