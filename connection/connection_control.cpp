#include "connection/connection_control.h"

#include "app/program_state.h"
#include "common/number_rule.h"
#include "common/records.h"
#include "connection/settings.h"
#include "connection/transport.h"
#include "dataview/data_tables.h"
#include "dataview/editable_list.h"
#include "dataview/value_formats.h"
#include "modbus/message_log.h"
#include "ui/control_ids.h"
#include "ui/controls.h"
#include "ui/message_box.h"
#include "ui/window_timer.h"

namespace {

constexpr const char* kStatusConnected = "Read Status: Connected";
constexpr const char* kStatusNotConnected = "Read Status: Not Connected";
constexpr const char* kConnectFailed = "Can't find the server (Is it launched ?).";

// Fixed while connected, so the request parameters and the table layout
// stay those the tables were built for.
constexpr int kParameterControls[] = {
    IdHostLabel,    IdHostField,   IdPortLabel,  IdPortField,  IdUnitLabel,   IdUnitField,   IdCommandLabel,
    IdCommandField, IdSendCommand, IdStartLabel, IdStartField, IdLengthLabel, IdLengthField, IdScanLabel,
    IdScanField,    IdFormatLabel, IdSelectorDI, IdSelectorCO, IdSelectorIR,  IdSelectorHR,
};

constexpr int kConnectButtons[] = {IdConnectComms, IdConnectData, IdConnectMessages};

void EnableConnectButtons(bool enabled)
{
    for (int id : kConnectButtons)
        EnableControl(id, enabled);
}

// Only called while no worker runs: the worker uses the connection without
// a lock.
void CloseCurrentConnection()
{
    Connection* connection = program.connection.exchange(nullptr);
    CloseConnection(connection);
}

void Connect()
{
    const int64_t port = TextToInt32(GetControlText(IdPortField));
    const std::string host = GetControlText(IdHostField);
    program.connection.store(OpenConnection(host, port));

    if (!program.connection.load()) {
        ShowMessageBox(kConnectFailed);
        UpdateConnectionControls();
        StopWindowTimer(kScanTimerId);
        return;
    }

    // The response times and causes describe this connection alone.
    ResetResponseStats(program.responseStats);
    // The counts go on from where they were; only the clear action resets them.
    RefreshCounterFields();
    UpdateConnectionControls();
    SaveSettings();
    RebuildDataTables();
    // Nothing to poll without a row of an enabled table. The timer raises
    // intervals below its floor (zero and negative included).
    if (program.tableRowTotal >= 1)
        StartWindowTimer(kScanTimerId, TextToInt32(GetControlText(IdScanField)));
}

void Disconnect()
{
    if (program.workerRunning.load()) {
        // The worker is using the connection: let it finish its
        // transaction, the first tick after it ends completes the disconnect.
        program.stopRequest = true;
        program.cycleStop.store(true);
        EnableConnectButtons(false);
        UpdateConnectionControls();
        // The cycle ends after its current transaction; a tick right after
        // that completes the disconnect, whatever the scan rate.
        StartWindowTimer(kScanTimerId, kMinTimerInterval);
        return;
    }
    program.stopRequest = false;
    StopWindowTimer(kScanTimerId);
    CloseCurrentConnection();
    SetStatusField(StatusText, kStatusNotConnected);
    UpdateConnectionControls();
}

}  // namespace

void ToggleConnection()
{
    if (program.connection.load())
        Disconnect();
    else
        Connect();
}

void UpdateConnectionControls()
{
    const bool connected = program.connection.load() != nullptr;
    SetStatusField(StatusText, connected ? kStatusConnected : kStatusNotConnected);
    for (int id : kParameterControls)
        EnableControl(id, !connected);
    // Switching editing off commits an edit that is open right now.
    SetColumnEditable(IdDataList, ValueColumnOf(TableCoils), connected);
    SetColumnEditable(IdDataList, ValueColumnOf(TableHoldingRegisters), connected);
}

void FinishDeferredDisconnect()
{
    program.stopRequest = false;
    StopWindowTimer(kScanTimerId);
    CloseCurrentConnection();
    SetStatusField(StatusText, kStatusNotConnected);
    EnableConnectButtons(true);
    UpdateConnectionControls();
}
