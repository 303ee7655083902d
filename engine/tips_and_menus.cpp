#include "app/looking_closer.h"

#include "dataview/data_list.h"
#include "dataview/data_list_menu.h"
#include "dataview/value_tip.h"
#include "modbus/counter_tips.h"
#include "modbus/log_menu.h"
#include "ui/context_menus.h"
#include "ui/control_ids.h"
#include "ui/status_tips.h"

void RegisterLookingCloserHandlers()
{
    SetCellTipProvider(ValueCellTip);
    for (int field : {StatusPolls, StatusValid, StatusBad})
        SetStatusTipProvider(field, CounterFieldTip);
    SetContextMenuHandler(IdDataList, ShowDataListMenu);
    SetContextMenuHandler(IdMessageLog, ShowLogMenu);
}
