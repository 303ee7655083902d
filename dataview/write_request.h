// The request that writes an encoded value, and the queue entry that
// carries it to the poll worker. Pure: registers in, bytes out.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "common/pending_write.h"
#include "dataview/value_encode.h"

// The request of write.function for the registers (a coil: registers[0] is
// 0 or 1) at write.address, for write.unit, with the offset as
// write.offsetOn says; the function and addresses already checked.
std::vector<uint8_t> BuildValueWriteRequest(const ValueWrite& write, const std::vector<uint16_t>& registers);

// The queue entry for an encoded write; nothing when it has a reason.
std::optional<PendingWrite> PendingWriteFor(const EncodedValue& encoded);
