#include "dataview/value_encode.h"

#include <algorithm>
#include <array>
#include <bit>

#include "common/field_limits.h"
#include "common/table_numbers.h"
#include "dataview/value_formats.h"
#include "dataview/value_parse.h"
#include "dataview/value_views.h"
#include "dataview/write_request.h"
#include "modbus/frames.h"

namespace {

std::string Label(ValueType type, int64_t address)
{
    return TableLabel(type == TypeCoil ? TableCoils : TableHoldingRegisters, address, 0);
}

// Why the count registers or coils from address cannot go out, if so.
std::string AddressReason(const ValueWrite& write, int count)
{
    const int64_t first = SentAddress(write.address, write.offsetOn);
    const int64_t last = first + count - 1;
    if (first < 0 || last > kHighestAddress) {
        if (count == 1)
            return "Would go out at address " + std::to_string(first) + ", outside 0 to 65535.";
        return "Would go out at addresses " + std::to_string(first) + " to " + std::to_string(last) +
               ", outside 0 to 65535.";
    }
    const int64_t lastAddress = write.address + count - 1;
    if (write.address < write.blockFirst || lastAddress > write.blockLast) {
        const std::string block = Label(write.type, write.blockFirst) + " to " + Label(write.type, write.blockLast);
        const char* what = write.type == TypeCoil ? "Coil " : "Register ";
        if (count == 1)
            return what + Label(write.type, write.address) + " is outside the block shown, " + block + ".";
        return "Registers " + Label(write.type, write.address) + " to " + Label(write.type, lastAddress) +
               " run past the block shown, " + block + ".";
    }
    return {};
}

std::string FunctionReason(ValueType type, int function)
{
    const std::vector<int> functions = FunctionsFor(type);
    if (std::find(functions.begin(), functions.end(), function) != functions.end())
        return {};
    std::string use;
    for (int f : functions)
        use += (use.empty() ? "" : " or ") + std::to_string(f);
    return "Function " + std::to_string(function) + " cannot write type " + ValueTypeName(type) + ": use " + use + ".";
}

}  // namespace

EncodedValue EncodeValue(const ValueWrite& write)
{
    EncodedValue encoded;
    if (write.type < TypeU16 || write.type > TypeCoil) {
        encoded.reason = "No type chosen.";
        return encoded;
    }
    const int count = RegisterCountOf(write.type);
    if (count > 1 && (write.order < OrderABCD || write.order > OrderDCBA)) {
        encoded.reason = "No byte order chosen.";
        return encoded;
    }
    encoded.reason = FunctionReason(write.type, write.function);
    if (encoded.reason.empty())
        encoded.reason = AddressReason(write, count);
    if (!encoded.reason.empty())
        return encoded;
    const ParsedValue parsed = ParseTypedValue(write.text, write.type);
    if (!parsed.reason.empty()) {
        encoded.reason = parsed.reason;
        return encoded;
    }

    // A 16-bit value has no order to apply.
    const int width = 2 * count;
    const ByteOrder order = count == 1 ? OrderABCD : write.order;
    std::array<uint8_t, 8> wire{};
    ValueToWire(order, parsed.bytes.data(), wire.data(), width);
    for (int i = 0; i < count; i++) {
        encoded.registers.push_back(
            static_cast<uint16_t>(wire[static_cast<size_t>(2 * i)] << 8 | wire[static_cast<size_t>(2 * i + 1)]));
        encoded.labels.push_back(Label(write.type, write.address + i));
    }

    encoded.frame = BuildValueWriteRequest(write, encoded.registers);
    encoded.readBack = ValueReadBack(write.type, order, encoded.registers.data());
    return encoded;
}

std::string ValueReadBack(ValueType type, ByteOrder order, const uint16_t* registers)
{
    const int count = RegisterCountOf(type);
    if (type < TypeU16 || type > TypeCoil || (count > 1 && (order < OrderABCD || order > OrderDCBA)))
        return {};
    std::array<uint8_t, 8> wire{};
    for (int i = 0; i < count; i++) {
        wire[static_cast<size_t>(2 * i)] = static_cast<uint8_t>(registers[i] >> 8);
        wire[static_cast<size_t>(2 * i + 1)] = static_cast<uint8_t>(registers[i]);
    }
    if (count == 2) {
        // Exactly the hover tool tip's line for the order.
        const PairViews views = ViewPair(wire.data())[static_cast<size_t>(order)];
        return type == TypeU32 ? views.unsigned32 : type == TypeS32 ? views.signed32 : views.float32;
    }
    if (count == 4) {
        std::array<uint8_t, 8> value{};
        WireToValue(order, wire.data(), value.data(), 8);
        uint64_t bits = 0;
        for (uint8_t b : value)
            bits = bits << 8 | b;
        if (type == TypeU64)
            return std::to_string(bits);
        if (type == TypeS64)
            return std::to_string(static_cast<int64_t>(bits));
        return DoubleText(std::bit_cast<double>(bits));
    }
    const WordViews views = ViewWord(wire.data());
    switch (type) {
    case TypeS16:
        return views.signed16;
    case TypeHex16:
        return views.hex;
    case TypeBin16:
        return views.binary;
    case TypeCoil:
        return registers[0] ? "1 (on)" : "0 (off)";
    default:
        return views.unsigned16;
    }
}

std::string ValueEditText(ValueType type, ByteOrder order, const uint16_t* registers)
{
    if (type == TypeCoil)
        return registers[0] ? "1" : "0";
    std::string text = ValueReadBack(type, order, registers);
    if (type == TypeBin16)
        std::erase(text, ' ');
    return text;
}
