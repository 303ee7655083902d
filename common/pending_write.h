// Plain records shared by several subsystems.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// The longest write request queued: Write Multiple Registers with the four
// registers of a 64-bit value (13 + 8 bytes).
constexpr size_t kLongestWriteRequest = 21;

// One queued write request in the first Length bytes of a zero-filled frame:
// 12 for Write Single Coil / Register (functions 5, 6), 14 for one coil by
// function 15, 15 to 21 for one to four registers by function 16.
struct PendingWrite {
    std::array<uint8_t, kLongestWriteRequest> Frame{};
    int32_t Length = 12;
};

// The highest address a request can carry (16 bits).
constexpr int64_t kHighestAddress = 65535;

// What each numeric field may hold, so that it goes out exactly as shown.
// A TCP port and the quantity of a read request are 16 bits, the unit id
// one byte.
constexpr int64_t kHighestPort = 65535;
constexpr int64_t kHighestUnitId = 255;
constexpr int64_t kHighestLength = 65535;
// The scan timer's floor: a shorter interval would keep the GUI thread
// busy ticking. The ceiling, one hour, is far past any useful poll rate
// and well inside the timer's int milliseconds and TextToInt32.
constexpr int64_t kLowestScanRate = 10;
constexpr int64_t kHighestScanRate = 3600000;

// Table numbers: the read order of a cycle, the transaction id of the
// table's read request and the index of its columns and selector.
enum TableNumber { TableDiscreteInputs = 1, TableCoils = 2, TableInputRegisters = 3, TableHoldingRegisters = 4 };

// Format-selector entries. 0 disables a table; -1 (nothing selected) enables it.
enum FormatIndex { FormatNoData = 0, FormatBit = 1, FormatBinary = 1, FormatHex = 2, FormatDecimal = 3 };
