// Request frames and response judging over arbitrary field values and
// responses: frames are exactly 12 bytes with the fixed header, 16-bit
// fields match an independent digit count, and every response length gets
// exactly the judgement its kind of request calls for.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "modbus/frames.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

// The first four hex digits of the value's unsigned 64-bit form, counted
// from its highest non-zero digit, left-padded when it has fewer.
uint16_t ExpectedField(int64_t value)
{
    uint64_t bits = static_cast<uint64_t>(value);
    int digits = 1;
    while (digits < 16 && (bits >> (4 * digits)) != 0)
        digits++;
    return static_cast<uint16_t>(digits <= 4 ? bits : bits >> (4 * (digits - 4)));
}

uint16_t FieldAt(const uint8_t* frame, int offset)
{
    return static_cast<uint16_t>(frame[offset] << 8 | frame[offset + 1]);
}

void CheckHeader(const uint8_t* frame, int64_t unit, int function)
{
    FUZZ_CHECK(frame[2] == 0 && frame[3] == 0 && frame[4] == 0 && frame[5] == 6);
    FUZZ_CHECK(frame[6] == (static_cast<uint64_t>(unit) & 0xFF));
    FUZZ_CHECK(frame[7] == function);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider provider(data, size);
    const int table = provider.ConsumeIntegralInRange<int>(1, 4);
    const int64_t unit = provider.ConsumeIntegral<int64_t>();
    const int64_t address = provider.ConsumeIntegral<int64_t>();
    const int64_t quantity = provider.ConsumeIntegral<int64_t>();
    const bool offsetOn = provider.ConsumeBool();
    const int function = provider.ConsumeBool() ? kFunctionWriteCoil : kFunctionWriteRegister;

    // Exactly 12 bytes on the heap: AddressSanitizer catches any write past.
    auto frame = std::make_unique<uint8_t[]>(kRequestLength);
    FUZZ_CHECK(BuildReadRequest(frame.get(), table, unit, address, quantity, offsetOn) == kRequestLength);
    FUZZ_CHECK(FieldAt(frame.get(), 0) == table);
    CheckHeader(frame.get(), unit, ReadFunctionCode(table));
    const int64_t sentAddress = offsetOn ? static_cast<int64_t>(static_cast<uint64_t>(address) - 1) : address;
    FUZZ_CHECK(FieldAt(frame.get(), 8) == ExpectedField(sentAddress));
    FUZZ_CHECK(FieldAt(frame.get(), 10) == ExpectedField(quantity));

    FUZZ_CHECK(BuildWriteRequest(frame.get(), unit, function, address, quantity, offsetOn) == kRequestLength);
    FUZZ_CHECK(FieldAt(frame.get(), 0) == kWriteTransactionId);
    CheckHeader(frame.get(), unit, function);
    FUZZ_CHECK(FieldAt(frame.get(), 8) == ExpectedField(sentAddress));
    FUZZ_CHECK(FieldAt(frame.get(), 10) == ExpectedField(quantity));

    // The rest is a response as one receive delivered it.
    const std::vector<uint8_t> response = provider.ConsumeRemainingBytes<uint8_t>();
    const int n = static_cast<int>(response.size());
    const ResponseKind read = JudgeReadResponse(n);
    const ResponseKind write = JudgeWriteResponse(n, kRequestLength);
    FUZZ_CHECK((read == ResponseValid) == (n > kResponseDataOffset));
    FUZZ_CHECK((read == ResponseException) == (n == kExceptionLength));
    FUZZ_CHECK((write == ResponseValid) == (n == kRequestLength));
    FUZZ_CHECK((write == ResponseException) == (n == kExceptionLength));
    FUZZ_CHECK(JudgeReadResponse(-n - 1) == ResponseWrongLength);
    if (read == ResponseException) {
        const char* status = ExceptionStatusText(response[8]);
        const uint8_t code = response[8];
        FUZZ_CHECK((status != nullptr) == (code == 1 || code == 2 || code == 3 || code == 6));
        FUZZ_CHECK(status == nullptr || std::strncmp(status, "Read Error: ", 12) == 0);
    }
    return 0;
}
