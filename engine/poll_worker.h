// One poll cycle: the reads of the enabled tables, then the queued writes.
#pragma once

// One poll cycle, run on the poll worker thread for each cycle a scan tick
// asks for.
void PollWorker();
