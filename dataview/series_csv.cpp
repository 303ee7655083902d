#include "dataview/series_csv.h"

#include <vector>

#include "dataview/csv_record.h"

std::string SeriesCsvText(const SeriesStore& store, int32_t (*utcOffsetAt)(int64_t ms))
{
    std::string text = CsvField("Time", true);
    for (const Series& series : store.series)
        text += kCsvSeparator + CsvField(SeriesColumnName(series.source), true);
    text += kCsvLineEnd;

    // A merge of the series by time: each row takes the next point of every
    // series whose next point has the earliest time.
    std::vector<size_t> next(store.series.size(), 0);
    for (;;) {
        bool any = false;
        int64_t time = 0;
        for (size_t s = 0; s < next.size(); s++) {
            const std::span<const SeriesPoint> points = SeriesPoints(store.series[s]);
            if (next[s] < points.size() && (!any || points[next[s]].timeMs < time)) {
                time = points[next[s]].timeMs;
                any = true;
            }
        }
        if (!any)
            return text;
        text += CsvTimeText(time, utcOffsetAt ? utcOffsetAt(time) : 0);
        for (size_t s = 0; s < next.size(); s++) {
            text += kCsvSeparator;
            const std::span<const SeriesPoint> points = SeriesPoints(store.series[s]);
            if (next[s] < points.size() && points[next[s]].timeMs == time)
                text += CsvField(SeriesValueText(store.series[s].source, points[next[s]++].value));
        }
        text += kCsvLineEnd;
    }
}
