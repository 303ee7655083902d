// The simulator's listening socket.
#pragma once

#include "sim/sim_options.h"

// Opens a non-blocking listening socket on the address and port the options
// ask for. Without a port it takes 502, or 1502 when 502 is not permitted,
// and says so. Returns the socket and sets boundPort, or -1 after printing
// why on stderr.
int OpenListener(const SimOptions& options, int& boundPort);
