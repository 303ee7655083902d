#include "modbus/frames.h"

#include <cstdio>
#include <cstring>

void Put16(uint8_t* out, int64_t value)
{
    char digits[17];
    std::snprintf(digits, sizeof digits, "%llX", static_cast<unsigned long long>(static_cast<uint64_t>(value)));
    size_t len = std::strlen(digits);

    // Left-pad to four digits; of a longer number only the first four count.
    char four[4] = {'0', '0', '0', '0'};
    if (len < 4)
        std::memcpy(four + (4 - len), digits, len);
    else
        std::memcpy(four, digits, 4);

    auto nibble = [](char c) { return c <= '9' ? c - '0' : c - 'A' + 10; };
    out[0] = static_cast<uint8_t>(nibble(four[0]) << 4 | nibble(four[1]));
    out[1] = static_cast<uint8_t>(nibble(four[2]) << 4 | nibble(four[3]));
}

// The subtraction wraps (unsigned) so the lowest int64 cannot overflow.
int64_t SentAddress(int64_t address, bool offsetOn)
{
    return offsetOn ? static_cast<int64_t>(static_cast<uint64_t>(address) - 1) : address;
}

void StampTransactionId(uint8_t* request, uint16_t transactionId)
{
    Put16(request, transactionId);
}

// MBAP header (transaction id 0 until stamped, protocol 0, the bytes that
// follow, unit) and function code, for a request of length bytes in all.
static void PutHeader(uint8_t* out, int64_t unit, int function, int length = kRequestLength)
{
    out[0] = 0;
    out[1] = 0;
    out[2] = 0;
    out[3] = 0;
    Put16(out + 4, length - 6);
    out[6] = static_cast<uint8_t>(static_cast<uint64_t>(unit) & 0xFF);
    out[7] = static_cast<uint8_t>(function);
}

int BuildReadRequest(uint8_t* out, int table, int64_t unit, int64_t startAddress, int64_t quantity, bool offsetOn)
{
    PutHeader(out, unit, ReadFunctionCode(table));
    Put16(out + 8, SentAddress(startAddress, offsetOn));
    Put16(out + 10, quantity);
    return kRequestLength;
}

int BuildWriteRequest(uint8_t* out, int64_t unit, int function, int64_t address, int64_t value, bool offsetOn)
{
    PutHeader(out, unit, function);
    Put16(out + 8, SentAddress(address, offsetOn));
    Put16(out + 10, value);
    return kRequestLength;
}

int BuildWriteRegistersRequest(uint8_t* out, int64_t unit, int64_t address, const uint16_t* values, int count,
                               bool offsetOn)
{
    if (count < 1 || count > kMaxWriteRegisters)
        return 0;
    const int length = WriteRegistersRequestLength(count);
    PutHeader(out, unit, kFunctionWriteRegisters, length);
    Put16(out + 8, SentAddress(address, offsetOn));
    Put16(out + 10, count);
    out[12] = static_cast<uint8_t>(2 * count);
    for (int i = 0; i < count; i++)
        Put16(out + 13 + 2 * i, values[i]);
    return length;
}

int BuildWriteCoilsRequest(uint8_t* out, int64_t unit, int64_t address, const bool* states, int count, bool offsetOn)
{
    if (count < 1 || count > kMaxWriteCoils)
        return 0;
    const int length = WriteCoilsRequestLength(count);
    PutHeader(out, unit, kFunctionWriteCoils, length);
    Put16(out + 8, SentAddress(address, offsetOn));
    Put16(out + 10, count);
    out[12] = static_cast<uint8_t>(length - 13);
    for (int i = 13; i < length; i++)
        out[i] = 0;
    for (int i = 0; i < count; i++)
        if (states[i])
            out[13 + i / 8] |= static_cast<uint8_t>(1 << (i % 8));
    return length;
}

const char* ExceptionStatusText(uint8_t code)
{
    switch (code) {
    case 1:
        return "Read Error: Wrong Function Code";
    case 2:
        return "Read Error: Wrong Address";
    case 3:
        return "Read Error: Wrong Data";
    case 6:
        return "Read Error: PLC Busy";
    default:
        return nullptr;
    }
}
