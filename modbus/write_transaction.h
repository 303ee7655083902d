// Sending the writes queued by cell edits. Worker thread, after the reads.
#pragma once

#include <cstdint>

#include "common/records.h"

// Takes the newest entry of program.pendingWrites and sends it, until the
// queue is empty or program.cycleStop is set; entries appended meanwhile
// are sent too. Each entry is
// tried once and released whatever the outcome. buffer holds
// kCycleBufferSize bytes and receives the responses.
void SendPendingWrites(uint8_t* buffer);

// One write transaction for one entry; the counter fields are refreshed at
// its end.
void WriteTransaction(const PendingWrite& write, uint8_t* buffer);
