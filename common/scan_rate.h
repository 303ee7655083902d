// The scan timer's interval for what the scan-rate field shows.
#pragma once

#include <cstdint>

// The interval in milliseconds actually used for a shown scan rate: the
// value clamped into kLowestScanRate..kHighestScanRate.
int32_t ScanRateInUse(int64_t shown);
