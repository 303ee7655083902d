// Sending the writes queued by cell edits. Worker thread, after the reads.
#pragma once

#include <cstdint>

#include "modbus/pending_writes.h"

// Takes the next entry of program.link.pendingWrites (newest first, overlapping
// writes in the order typed) and sends it, until the queue is empty or
// program.cycleStop is set; entries appended meanwhile are sent too. Each
// entry is tried once and released whatever the outcome, except one that
// never went out because the link was lost: it goes back to the queue for
// the reconnect. buffer holds kCycleBufferSize bytes and receives the
// responses. False when the link was lost.
bool SendPendingWrites(uint8_t* buffer);

// One write transaction for one entry, with the next transaction id; the
// counter fields are refreshed at its end. False when the link was lost.
bool WriteTransaction(const QueuedWrite& queued, uint8_t* buffer);
