// Decoding of the values of read replies into row texts over arbitrary
// values, quantities and formats. The values lie in a heap block of exactly
// their size, so any read past it is an AddressSanitizer fault, and every
// row past them must be blank. Each text is checked against an independent decoding, and
// read back as the data list's tool tip reads it; the tip's float texts
// must read back to the very same float.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "dataview/value_formats.h"
#include "dataview/value_views.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

// The register value a text shows, or -1 when it is no text of the format.
long ValueOfText(const std::string& text, int format)
{
    auto all = [&](const char* digits) { return text.find_first_not_of(digits) == std::string::npos; };
    if (format == 1) {
        if (text.size() != 16 || !all("01"))
            return -1;
        return std::stol(text, nullptr, 2);
    }
    if (format == 2) {
        if (text.size() != 4 || !all("0123456789ABCDEF"))
            return -1;
        return std::stol(text, nullptr, 16);
    }
    if (text.empty() || text.size() > 5 || !all("0123456789") || (text.size() > 1 && text[0] == '0'))
        return -1;
    return std::stol(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider provider(data, size);
    const int table = provider.ConsumeIntegralInRange<int>(0, 5);
    const int format = provider.ConsumeIntegralInRange<int>(-1, 4);
    const int32_t quantity = provider.ConsumeIntegral<int32_t>();
    // Past every row the values of one reply can fill (255 bytes of 8 bits).
    const int64_t rowLimit = provider.ConsumeIntegralInRange<int64_t>(0, 4100);

    const std::vector<uint8_t> bytes = provider.ConsumeRemainingBytes<uint8_t>();
    const int dataBytes = static_cast<int>(bytes.size());
    auto values = std::make_unique<uint8_t[]>(bytes.size() + 1);  // +1: never a null block
    if (!bytes.empty())
        std::memcpy(values.get(), bytes.data(), bytes.size());

    const DecodedValues decoded = DecodeReadValues(table, values.get(), dataBytes, quantity, format, rowLimit);
    const int64_t rows = std::max<int64_t>(0, std::min<int64_t>(quantity, rowLimit));
    FUZZ_CHECK(decoded.rows == rows && static_cast<int64_t>(decoded.texts.size()) <= rows);
    // The rows after the values have none: they read as empty here.
    std::vector<std::string> texts = decoded.texts;
    texts.resize(static_cast<size_t>(rows));

    for (int64_t r = 0; r < rows; r++) {
        const std::string& text = texts[static_cast<size_t>(r)];
        if (table == 1 || table == 2) {
            if (r / 8 >= dataBytes) {
                FUZZ_CHECK(text.empty());
                continue;
            }
            const bool set = (bytes[static_cast<size_t>(r / 8)] >> (r % 8)) & 1;
            FUZZ_CHECK(text == (set ? "1" : "0"));
        } else if (table == 3 || table == 4) {
            if (r >= dataBytes / 2) {
                FUZZ_CHECK(text.empty());
                continue;
            }
            const size_t at = static_cast<size_t>(2 * r);
            const long value = bytes[at] << 8 | bytes[at + 1];
            FUZZ_CHECK(ValueOfText(text, format == 1 || format == 2 ? format : 3) == value);
            FUZZ_CHECK(ShownRegisterValue(text, format) == value);
        } else {
            FUZZ_CHECK(text.empty());
        }
    }
    if (bytes.size() >= 4) {
        for (const PairViews& v : ViewPair(bytes.data())) {
            const uint32_t word = static_cast<uint32_t>(std::stoul(v.unsigned32));
            const float f = std::bit_cast<float>(word);
            if (std::isnan(f)) {
                FUZZ_CHECK(v.float32 == "NaN");
                continue;
            }
            float back = 0;
            const auto parsed = std::from_chars(v.float32.data(), v.float32.data() + v.float32.size(), back);
            FUZZ_CHECK(std::isinf(f) || (parsed.ec == std::errc() && std::bit_cast<uint32_t>(back) == word));
        }
    }
    return 0;
}
