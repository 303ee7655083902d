// The simulator as a Modbus RTU device on a serial port, with libmodbus's
// RTU server: the same tables and live values as over TCP.
#pragma once

#include <csignal>

#include "sim/sim_options.h"

// Opens options.rtuDevice and answers requests for its unit id until
// stopSignal becomes non-zero or the device goes away. Signals in
// waitMask's complement stay blocked except while waiting. Returns the
// exit code: 0 when stopped, 1 when the device cannot be opened or fails.
int RunRtuSimulator(const SimOptions& options, const sigset_t& waitMask, const volatile sig_atomic_t& stopSignal);
