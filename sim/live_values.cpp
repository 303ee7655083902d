#include "sim/live_values.h"

#include <cmath>

void SetInitialValues(modbus_mapping_t* mapping)
{
    for (int a = 0; a < kSimTableSize; ++a) {
        mapping->tab_input_bits[a] = static_cast<uint8_t>(a % 3 == 0);
        mapping->tab_bits[a] = static_cast<uint8_t>(a % 2 == 0);
        mapping->tab_input_registers[a] = static_cast<uint16_t>(a);
        mapping->tab_registers[a] = 0;
    }
    UpdateLiveValues(mapping, 0);
}

uint16_t WaveValue(uint32_t second)
{
    constexpr double kTwoPi = 6.283185307179586;
    const double phase = kTwoPi * static_cast<double>(second % 20) / 20.0;
    return static_cast<uint16_t>(std::lround(500.0 + 500.0 * std::sin(phase)));
}

void UpdateLiveValues(modbus_mapping_t* mapping, uint32_t second)
{
    mapping->tab_registers[kCounterRegister] = static_cast<uint16_t>(second);
    mapping->tab_registers[kWaveRegister] = WaveValue(second);
    mapping->tab_registers[kSquareRegister] = static_cast<uint16_t>(second % 2);
}
