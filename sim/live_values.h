// The values the simulator serves: a fixed start pattern, and inputs that
// move with time so a polling client visibly sees fresh data.
#pragma once

#include <cstdint>

#include <modbus.h>

// Every table spans the whole address space 0..65535.
constexpr int kSimTableSize = 65536;

// Coils and holding registers keep what clients write; these are only
// their starting values.
void SetInitialValues(modbus_mapping_t* mapping);

// Discrete inputs walk, input registers count up; step is the number of
// quarter seconds since start.
void UpdateLiveValues(modbus_mapping_t* mapping, uint32_t step);
