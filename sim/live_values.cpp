#include "sim/live_values.h"

void SetInitialValues(modbus_mapping_t* mapping)
{
    for (int a = 0; a < kSimTableSize; ++a) {
        mapping->tab_bits[a] = static_cast<uint8_t>(a % 2);
        mapping->tab_registers[a] = static_cast<uint16_t>(a);
    }
    UpdateLiveValues(mapping, 0);
}

void UpdateLiveValues(modbus_mapping_t* mapping, uint32_t step)
{
    for (int a = 0; a < kSimTableSize; ++a) {
        mapping->tab_input_bits[a] = static_cast<uint8_t>((a + step) % 8 == 0);
        mapping->tab_input_registers[a] = static_cast<uint16_t>(a * 100u + step);
    }
}
