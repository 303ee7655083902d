// The values the simulator serves: a start pattern that makes a first look
// meaningful, and three holding registers that change every second so a
// polling client visibly gets fresh data.
#pragma once

#include <cstdint>

#include <modbus.h>

// Every table spans the whole address space 0..65535.
constexpr int kSimTableSize = 65536;

// Holding registers that change by themselves (wire addresses).
constexpr int kCounterRegister = 0;  // seconds since start
constexpr int kWaveRegister = 1;     // sine-like, 0..1000, period 20 s
constexpr int kSquareRegister = 2;   // 0 and 1, toggling every second

// Discrete inputs set where address % 3 == 0, coils alternating from 1 at
// address 0, input registers equal to their address, holding registers 0.
void SetInitialValues(modbus_mapping_t* mapping);

// Sets the three live registers for the given second since start. Other
// registers keep what clients wrote.
void UpdateLiveValues(modbus_mapping_t* mapping, uint32_t second);

// The wave's value at a given second.
uint16_t WaveValue(uint32_t second);
