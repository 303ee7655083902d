// The scan timer's tick: starts the next poll worker or completes a
// disconnect that had to wait for it.
#pragma once

void ScanTick();
