// One queued write request, as the cell editor makes it and the poll worker
// sends it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// The longest write request queued: Write Multiple Registers with the four
// registers of a 64-bit value (13 + 8 bytes).
constexpr size_t kLongestWriteRequest = 21;

// One queued write request, a Modbus/TCP frame as frames.h builds it, in
// the first `length` bytes of a zero-filled `frame`: 12 for Write Single
// Coil / Register (functions 5, 6), 14 for one coil by function 15, 15 to
// 21 for one to four registers by function 16.
struct PendingWrite {
    std::array<uint8_t, kLongestWriteRequest> frame{};
    int32_t length = 12;
};
