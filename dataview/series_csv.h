// "Save data as CSV" of the trend chart: the points of every series in one
// table, in the dialect of a recording (csv_record.h). Pure: store in, text
// out.
#pragma once

#include <cstdint>
#include <string>

#include "dataview/series_store.h"

// First line "Time" and what each column holds (SeriesColumnName: "Holding
// Register 40001 u16", "Response time [mS]"); then one row per
// point time, in time order, each series' value in the row of its point's
// time and empty in the others (series read in one cycle share their rows;
// a response time has a time of its own). Times as in a recording, with the
// offset utcOffsetAt gives for each; values as SeriesValueText writes them.
std::string SeriesCsvText(const SeriesStore& store, int32_t (*utcOffsetAt)(int64_t ms));
