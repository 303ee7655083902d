#include "modbus/poll_worker.h"

// Not built yet.
void PollWorker() {}
