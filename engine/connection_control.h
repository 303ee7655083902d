// The link's states: connecting, disconnecting (at once or after the cycle
// in progress), bringing a lost link back. Main thread only, unless said
// otherwise. The controls that follow the link: control_states.h.
#pragma once

// How soon main looks again at a cycle it waits for, in ms: the link timer
// while the worker still holds a lost connection, the scan timer for a
// disconnect asked for during a cycle.
constexpr int kLookAgainMs = 10;

// Connects when not connected (off the GUI thread: the window stays live),
// gives up a connect in progress, otherwise disconnects (or asks to, while
// a poll worker runs).
void ToggleConnection();

// Completes a disconnect that had to wait for the worker.
void FinishDeferredDisconnect();

// The link timer's tick: closes a connection the worker found lost, or
// starts the next reconnect attempt when its back-off has passed.
void LinkTick();

// The scan tick of a link resting between cycles (closed after each one):
// opens it again, and the cycle runs once it is open. False when the link
// is not resting.
bool ReopenForCycle();

// Worker thread: the cycle is over and, as the device settings ask, the
// connection is to be closed until the next; main closes it once the
// worker is done. Not a lost link.
void ReportCycleDone();

// Worker thread: the link was lost in this cycle. The connection is not
// touched; main takes over once the cycle has ended.
void ReportLinkLost();

// Shutdown: gives up a connect in progress.
void AbandonConnecting();
