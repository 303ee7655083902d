#include "engine/trend_feed.h"

#include <memory>

#include "dataview/sample_handover.h"
#include "dataview/series_store.h"
#include "dataview/wall_clock.h"
#include "engine/program_state.h"
#include "ui/data_list.h"
#include "ui/trend_window.h"

namespace {

// Main only; file-local: the trend window's queue of samples, attached while
// it holds a series.
std::shared_ptr<SampleQueue> gQueue;

std::vector<SeriesSource> CellChoices(int table, int row)
{
    if (row < 0)
        return {};
    std::vector<SeriesSource> choices = SeriesChoices(table, program.tableStartAddress + row);
    // Registers past the block's last row are never read: a value that
    // needs them would never get a point.
    const int rows = DataListRowCount();
    std::erase_if(choices,
                  [row, rows](const SeriesSource& source) { return row + SeriesRegisterCount(source) > rows; });
    return choices;
}

void Plot(const SeriesSource& source)
{
    if (AddTrendSeries(source) < 0)
        return;
    if (!gQueue)
        gQueue = AttachSampleConsumer(program.samples);
}

}  // namespace

std::vector<std::string> PlotChoiceTexts(int table, int row)
{
    std::vector<std::string> texts;
    for (const SeriesSource& source : CellChoices(table, row))
        texts.push_back(SeriesTypeText(source));
    return texts;
}

void PlotCellValue(int table, int row, int choice)
{
    const std::vector<SeriesSource> choices = CellChoices(table, row);
    if (choice >= 0 && static_cast<size_t>(choice) < choices.size())
        Plot(choices[static_cast<size_t>(choice)]);
}

void PlotResponseTime()
{
    Plot(ResponseTimeSource());
}

void FeedTrend(SeriesStore& store)
{
    if (!gQueue)
        return;
    for (const SampleRef& sample : TakeSamples(*gQueue))
        FeedSeriesStore(store, *sample);
    // Disconnected, connecting or the link down: no cycles, and the chart
    // must not draw the time as if values had been read.
    if (program.link.state != LinkUp)
        NoteNoCycles(store, WallClockNow().ms);
}

void TrendStopped()
{
    if (!gQueue)
        return;
    DetachSampleConsumer(program.samples, gQueue.get());
    gQueue.reset();
}
