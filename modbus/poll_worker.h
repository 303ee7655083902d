// One poll cycle: the reads of the enabled tables, then the queued writes.
#pragma once

// Body of the poll worker thread; one run is one cycle.
void PollWorker();
