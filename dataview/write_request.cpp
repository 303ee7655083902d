#include "dataview/write_request.h"

#include <algorithm>
#include <array>

#include "modbus/frames.h"

static_assert(kLongestWriteRequest >= static_cast<size_t>(WriteRegistersRequestLength(4)) &&
                  kLongestWriteRequest >= static_cast<size_t>(WriteCoilsRequestLength(1)),
              "a queued write must hold the longest request the dialog makes");

std::vector<uint8_t> BuildValueWriteRequest(const ValueWrite& write, const std::vector<uint16_t>& registers)
{
    if (registers.empty() || registers.size() > 4)
        return {};
    std::array<uint8_t, kLongestWriteRequest> frame{};
    int length = 0;
    switch (write.function) {
    case kFunctionWriteCoil:
        length = BuildWriteRequest(frame.data(), write.unit, kFunctionWriteCoil, write.address,
                                   registers[0] ? kCoilOn : kCoilOff, write.offsetOn);
        break;
    case kFunctionWriteCoils: {
        const bool state = registers[0] != 0;
        length = BuildWriteCoilsRequest(frame.data(), write.unit, write.address, &state, 1, write.offsetOn);
        break;
    }
    case kFunctionWriteRegister:
        length = BuildWriteRequest(frame.data(), write.unit, kFunctionWriteRegister, write.address, registers[0],
                                   write.offsetOn);
        break;
    default:
        length = BuildWriteRegistersRequest(frame.data(), write.unit, write.address, registers.data(),
                                            static_cast<int>(registers.size()), write.offsetOn);
        break;
    }
    return std::vector<uint8_t>(frame.begin(), frame.begin() + length);
}

std::optional<PendingWrite> PendingWriteFor(const EncodedValue& encoded)
{
    if (!encoded.reason.empty() || encoded.frame.size() < static_cast<size_t>(kRequestLength) ||
        encoded.frame.size() > kLongestWriteRequest)
        return std::nullopt;
    PendingWrite write;
    std::copy(encoded.frame.begin(), encoded.frame.end(), write.frame.begin());
    write.length = static_cast<int32_t>(encoded.frame.size());
    return write;
}
