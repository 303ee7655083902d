// The simulator's server loop: every connected client in one poll loop.
#pragma once

#include <csignal>

#include "sim/sim_options.h"

// Serves clients on the listening socket until a "quit" command arrives or
// stopSignal becomes non-zero. Signals in waitMask's complement are kept
// blocked except while waiting, so a stop signal cannot slip in between the
// check and the wait. Returns the exit code.
int RunSimulator(int listener, const SimOptions& options, const sigset_t& waitMask,
                 const volatile sig_atomic_t& stopSignal);
