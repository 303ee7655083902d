// Connecting, disconnecting, bringing a lost link back, and the control
// states that follow the connection. Main thread only, unless said otherwise.
#pragma once

#include "connection/line_settings.h"

// How soon main looks again at a cycle it waits for, in ms: the link timer
// while the worker still holds a lost connection, the scan timer for a
// disconnect asked for during a cycle.
constexpr int kLookAgainMs = 10;

// Connects when not connected (off the GUI thread: the window stays live),
// gives up a connect in progress, otherwise disconnects (or asks to, while
// a poll worker runs).
void ToggleConnection();

// Enables, disables and switches editing of the controls for the current
// connection state; writes the read status.
void UpdateConnectionControls();

// The transport chosen on the Communications page (Modbus/TCP when none
// is), and the serial line its fields show.
TransportKind ChosenTransport();
SerialSettings ChosenSerialLine();

// Enables the fields the chosen transport uses (host and port, or the
// serial line; the server command with Modbus/TCP alone) while not
// connected; all are fixed while connected.
void EnableTransportFields();

// The user chose a transport: its fields are enabled, and choosing a serial
// port with none typed offers the first adapter plugged in, if any.
void TransportChosen();

// Completes a disconnect that had to wait for the worker.
void FinishDeferredDisconnect();

// The link timer's tick: closes a connection the worker found lost, or
// starts the next reconnect attempt when its back-off has passed.
void LinkTick();

// Worker thread: the link was lost in this cycle. The connection is not
// touched; main takes over once the cycle has ended.
void ReportLinkLost();

// Shutdown: gives up a connect in progress.
void AbandonConnecting();
