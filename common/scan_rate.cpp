#include "common/scan_rate.h"

#include <algorithm>

#include "common/pending_write.h"

int32_t ScanRateInUse(int64_t shown)
{
    return static_cast<int32_t>(std::clamp(shown, kLowestScanRate, kHighestScanRate));
}
