// Connecting, disconnecting and the control states that follow the
// connection. Main thread only.
#pragma once

// Connects when not connected, otherwise disconnects (or asks to, while a
// poll worker runs).
void ToggleConnection();

// Enables, disables and switches editing of the controls for the current
// connection state; writes the read status.
void UpdateConnectionControls();

// Completes a disconnect that had to wait for the worker.
void FinishDeferredDisconnect();
