#include "app/looking_closer.h"

#include "dataview/data_list.h"
#include "dataview/data_list_menu.h"
#include "dataview/value_tip.h"
#include "ui/context_menus.h"
#include "ui/control_ids.h"

void RegisterLookingCloserHandlers()
{
    SetCellTipProvider(ValueCellTip);
    SetContextMenuHandler(IdDataList, ShowDataListMenu);
}
