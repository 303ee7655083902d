// "Plot": what the data list's values and the response time add to the
// trend window, and the samples that feed it. Sampling runs only while the
// window holds a series. GUI thread.
#pragma once

#include <string>
#include <vector>

struct SeriesStore;

// The types the value of table 1..4 at list row can be plotted as, as the
// "Plot" submenu lists them.
std::vector<std::string> PlotChoiceTexts(int table, int row);
// Adds the choice'th of them to the trend window.
void PlotCellValue(int table, int row, int choice);
// Adds the response time (each valid response's, request sent to reply received).
void PlotResponseTime();

// The trend window's handlers: the samples since the last call go into the
// store; the window holds nothing any more.
void FeedTrend(SeriesStore& store);
void TrendStopped();
