#include <QLabel>
#include <QRect>
#include <QTableView>

#include "common/field_limits.h"
#include "ui/control_ids.h"
#include "ui/controls.h"
#include "ui/data_list.h"
#include "ui/editable_list.h"
#include "ui/fonts.h"
#include "ui/pages.h"
#include "ui/widgets.h"

namespace {

void BuildDataList(QWidget* page)
{
    QTableView* list = CreateDataList(page, TableFont());
    list->setGeometry(3, 88, 497, 420);
    RegisterControl(IdDataList, list);
    // Without in-place editing the list still shows the data. The edit and
    // compare callbacks are the program's, given at start-up.
    if (RegisterEditableList(IdDataList, 0) != ListDone)
        return;
    SetEditColours(kAccentOrange, kWhite);
    for (int column = 0; column < kDataListColumns; ++column)
        SetColumnSortType(IdDataList, column, SortByCallback);
}

}  // namespace

void BuildViewDataPage(QWidget* page)
{
    BuildDataList(page);

    CreateLabel(page, IdStartLabel, QRect(8, 8, 100, 20), "Start address:", Qt::AlignRight);
    CreateLabel(page, IdLengthLabel, QRect(178, 8, 60, 20), "Length:", Qt::AlignRight);
    CreateLabel(page, IdScanLabel, QRect(318, 8, 130, 20), "Scan rate (mS):", Qt::AlignRight);
    QLabel* selectors =
        CreateLabel(page, IdFormatLabel, QRect(8, 33, 300, 20), "Data Format Selectors", Qt::AlignHCenter);
    SetBackgroundColour(selectors, kAccentOrange);
    SetTextColour(selectors, kWhite);
    // Disabled while connected: the desktop's light grey would vanish on
    // the orange.
    SetDisabledTextColour(selectors, kDisabledOnOrange);

    // A request carries 16 bits of address and of quantity: a value beyond
    // them would go out as something other than the field shows. The scan
    // rate cannot be faster than the timer's floor, and shows the floor
    // once left below it.
    LimitFieldValue(CreateTextField(page, IdStartField, QRect(108, 8, 50, 20), "1", true), 0, kHighestAddress);
    LimitFieldValue(CreateTextField(page, IdLengthField, QRect(248, 8, 50, 20), "100", true), 0, kHighestLength);
    LimitFieldValue(CreateTextField(page, IdScanField, QRect(448, 8, 50, 20), "1000", true), kLowestScanRate,
                    kHighestScanRate);

    CreateSelector(page, IdSelectorDI, 8, 58, 110, {"No data", "Bit"});
    CreateSelector(page, IdSelectorCO, 122, 58, 110, {"No data", "Bit"});
    CreateSelector(page, IdSelectorIR, 235, 58, 125, {"No data", "Binary", "Hex", "Decimal"});
    CreateSelector(page, IdSelectorHR, 364, 58, 135, {"No data", "Binary", "Hex", "Decimal"});

    CreateButton(page, IdConnectData, QRect(318, 32, 180, 20), "Connect / Disconnect");
}
