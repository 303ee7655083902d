// The one rule by which a field or cell text becomes a number.
#pragma once

#include <cstdint>
#include <string_view>

// Leading spaces and tabs are skipped, then one optional "-" or "+".
// "$" introduces hexadecimal digits, "%" base-2 digits, anything else is read
// as decimal. Reading stops at the first character that is not a digit of
// that base; no digits give 0. The value accumulates as a signed 64-bit
// integer that wraps on overflow (two's complement) and is negated for "-".
int64_t TextToNumber(std::string_view text);

// The low 32 bits of TextToNumber, which is what most callers use.
int32_t TextToInt32(std::string_view text);
