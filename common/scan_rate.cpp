#include "common/scan_rate.h"

#include <algorithm>

#include "common/field_limits.h"

int32_t ScanRateInUse(int64_t shown)
{
    return static_cast<int32_t>(std::clamp(shown, kLowestScanRate, kHighestScanRate));
}
