#include "dataview/value_types.h"

#include "modbus/frames.h"

namespace {

constexpr const char* kTypeNames[kValueTypeCount] = {"u16",     "s16", "hex16", "bin16",   "u32", "s32",
                                                     "float32", "u64", "s64",   "float64", "coil"};

}  // namespace

const char* ValueTypeName(ValueType type)
{
    return type >= TypeU16 && type <= TypeCoil ? kTypeNames[type] : "";
}

std::optional<ValueType> ValueTypeFromName(std::string_view name)
{
    for (int t = 0; t < kValueTypeCount; t++)
        if (name == kTypeNames[t])
            return static_cast<ValueType>(t);
    return std::nullopt;
}

int RegisterCountOf(ValueType type)
{
    switch (type) {
    case TypeU32:
    case TypeS32:
    case TypeFloat32:
        return 2;
    case TypeU64:
    case TypeS64:
    case TypeFloat64:
        return 4;
    default:
        return 1;
    }
}

std::vector<int> FunctionsFor(ValueType type)
{
    if (type == TypeCoil)
        return {kFunctionWriteCoil, kFunctionWriteCoils};
    if (RegisterCountOf(type) == 1)
        return {kFunctionWriteRegister, kFunctionWriteRegisters};
    return {kFunctionWriteRegisters};
}

const char* WriteFunctionName(int function)
{
    switch (function) {
    case kFunctionWriteCoil:
        return "5 Write Single Coil";
    case kFunctionWriteRegister:
        return "6 Write Single Register";
    case kFunctionWriteCoils:
        return "15 Write Multiple Coils";
    case kFunctionWriteRegisters:
        return "16 Write Multiple Registers";
    default:
        return "";
    }
}
