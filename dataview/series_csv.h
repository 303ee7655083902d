// "Save data as CSV" of the trend chart: the points of every series in one
// table, in the dialect of a recording (csv_record.h). Pure: store in, text
// out.
#pragma once

#include <cstdint>
#include <string>

#include "dataview/series_store.h"

// First line "Time" and the series' names; then one row per point time, in
// time order, each series' value in the row of its point's time and empty
// in the others (series read in one cycle share their rows). Times as in a
// recording, with the offset utcOffsetAt gives for each. A float32 value
// reads as the value tip shows it, the others as plain numbers.
std::string SeriesCsvText(const SeriesStore& store, int32_t (*utcOffsetAt)(int64_t ms));
