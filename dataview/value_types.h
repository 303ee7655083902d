// The types a value can be written as through the "Write value…" dialog:
// their names, the registers each takes and the functions that write it.
// Pure; no Qt.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

// In the order the write dialog lists them; a coil has its own list.
enum ValueType {
    TypeU16,
    TypeS16,
    TypeHex16,
    TypeBin16,
    TypeU32,
    TypeS32,
    TypeFloat32,
    TypeU64,
    TypeS64,
    TypeFloat64,
    TypeCoil
};
constexpr int kValueTypeCount = 11;

// "u16", "s16", "hex16", "bin16", "u32", "s32", "float32", "u64", "s64",
// "float64", "coil".
const char* ValueTypeName(ValueType type);
std::optional<ValueType> ValueTypeFromName(std::string_view name);

// Registers the type takes: 1, 2 or 4; a coil is one coil.
int RegisterCountOf(ValueType type);

// The functions that can write the type, the first being the usual one:
// 6 and 16 for a 16-bit type, 16 for 32 and 64 bits, 5 and 15 for a coil.
std::vector<int> FunctionsFor(ValueType type);

// "5 Write Single Coil", "6 Write Single Register", "15 Write Multiple
// Coils", "16 Write Multiple Registers"; empty for any other function.
const char* WriteFunctionName(int function);
