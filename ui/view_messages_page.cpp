#include <QLabel>
#include <QRect>

#include "ui/control_ids.h"
#include "ui/pages.h"
#include "ui/text_panes.h"
#include "ui/widgets.h"

namespace {

// Whatever the outcomes, the log never holds more lines than this: without
// a valid read nothing else would ever cut it.
constexpr int kLogLineCeiling = 2000;

}  // namespace

void BuildViewMessagesPage(QWidget* page)
{
    CreateLogPane(page, IdMessageLog, QRect(8, 48, 490, 430));
    SetEditorLineCeiling(IdMessageLog, kLogLineCeiling);
    // The newest lines matter most, whatever their outcome.
    SetEditorFollowsEnd(IdMessageLog, true);
    CreateButton(page, IdConnectMessages, QRect(8, 8, 240, 30), "Connect / Disconnect");
    // The legend: each label in the colour of the log lines it stands for.
    SetTextColour(CreateLabel(page, IdLegendPolls, QRect(8, 488, 150, 20), "[Polls]", Qt::AlignHCenter), kBlue);
    SetTextColour(CreateLabel(page, IdLegendValid, QRect(189, 488, 150, 20), "[Valid Responses]", Qt::AlignHCenter),
                  kBlack);
    SetTextColour(CreateLabel(page, IdLegendBad, QRect(348, 488, 150, 20), "[Bad Responses]", Qt::AlignHCenter), kRed);
    CreateButton(page, IdClearLog, QRect(258, 8, 240, 30), "Clear Log and Counters");
}
