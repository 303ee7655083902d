// Connecting, disconnecting, bringing a lost link back, and the control
// states that follow the connection. Main thread only, unless said otherwise.
#pragma once

// Connects when not connected (off the GUI thread: the window stays live),
// gives up a connect in progress, otherwise disconnects (or asks to, while
// a poll worker runs).
void ToggleConnection();

// Enables, disables and switches editing of the controls for the current
// connection state; writes the read status.
void UpdateConnectionControls();

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
