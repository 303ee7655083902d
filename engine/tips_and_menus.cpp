#include "engine/tips_and_menus.h"

#include "engine/counter_tips.h"
#include "engine/csv_recording.h"
#include "engine/device_setup.h"
#include "engine/trend_feed.h"
#include "engine/value_tip.h"
#include "engine/write_value.h"
#include "ui/context_menus.h"
#include "ui/control_ids.h"
#include "ui/data_list.h"
#include "ui/data_list_menu.h"
#include "ui/log_menu.h"
#include "ui/status_tips.h"
#include "ui/trend_window.h"
#include "ui/values_menu.h"
#include "ui/write_value_dialog.h"

void RegisterTipAndMenuHandlers()
{
    SetCellTipProvider(ValueCellTip);
    for (int field : {StatusPolls, StatusValid, StatusBad})
        SetStatusTipProvider(field, CounterFieldTip);
    SetStatusTipProvider(StatusText, StatusTextTip);
    SetContextMenuHandler(IdDataList, ShowDataListMenu);
    SetContextMenuHandler(IdMessageLog, ShowLogMenu);
    SetWriteValueHandlers(IsCellWritable, OpenWriteValueDialog);
    // Values over time: recording and plotting.
    ValuesMenuHandlers values;
    values.recordEntryText = RecordEntryText;
    values.toggleRecording = ToggleRecording;
    values.plotChoices = PlotChoiceTexts;
    values.plot = PlotCellValue;
    values.plotResponseTime = PlotResponseTime;
    SetValuesMenuHandlers(values);
    for (int field : {StatusPolls, StatusValid, StatusBad})
        SetContextMenuHandler(StatusFieldMenuId(field), ShowCounterFieldMenu);
    SetTrendWindowHandlers({FeedTrend, TrendStopped});
}
