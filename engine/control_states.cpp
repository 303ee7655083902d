#include "engine/control_states.h"

#include "common/table_numbers.h"
#include "dataview/value_formats.h"
#include "engine/program_state.h"
#include "engine/transport_choice.h"
#include "ui/control_ids.h"
#include "ui/controls.h"
#include "ui/editable_list.h"

namespace {

constexpr const char* kStatusConnected = "Read Status: Connected";
constexpr const char* kStatusConnecting = "Read Status: Connecting...";

// Fixed while connected, so the request parameters and the table layout
// stay those the tables were built for.
constexpr int kParameterControls[] = {
    IdTransportLabel,
    IdTransportSelector,
    IdUnitLabel,
    IdUnitField,
    IdStartLabel,
    IdStartField,
    IdLengthLabel,
    IdLengthField,
    IdScanLabel,
    IdScanField,
    IdFormatLabel,
    IdSelectorDI,
    IdSelectorCO,
    IdSelectorIR,
    IdSelectorHR,
    // A scan uses the connection itself.
    IdScanButton,
};

constexpr int kConnectButtons[] = {IdConnectComms, IdConnectData, IdConnectMessages};

}  // namespace

void UpdateConnectionControls()
{
    const LinkState state = program.link.state;
    const bool connected = state == LinkUp || state == LinkDown;
    switch (state) {
    case LinkOff:
        SetStatusField(StatusText, kStatusNotConnected);
        break;
    case LinkConnecting:
        SetStatusField(StatusText, kStatusConnecting);
        break;
    case LinkUp:
        SetStatusField(StatusText, kStatusConnected);
        break;
    case LinkDown:
        SetStatusField(StatusText, LinkDownStatus());
        break;
    }
    for (int id : kParameterControls)
        EnableControl(id, state == LinkOff);
    EnableTransportFields();
    // Switching editing off commits an edit that is open right now.
    SetColumnEditable(IdDataList, ValueColumnOf(TableCoils), connected);
    SetColumnEditable(IdDataList, ValueColumnOf(TableHoldingRegisters), connected);
}

void EnableConnectButtons(bool enabled)
{
    for (int id : kConnectButtons)
        EnableControl(id, enabled);
}

std::string LinkDownStatus()
{
    const int attempts = program.link.reconnectAttempts;
    if (attempts == 0)
        return "Status: Link Down, reconnecting";
    return "Status: Link Down, reconnecting (attempt " + std::to_string(attempts) + ")";
}
