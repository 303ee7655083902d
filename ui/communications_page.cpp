#include <QRect>

#include "common/field_limits.h"
#include "ui/control_ids.h"
#include "ui/pages.h"
#include "ui/widgets.h"

void BuildCommunicationsPage(QWidget* page)
{
    CreateLabel(page, IdHostLabel, QRect(50, 100, 165, 20), "Modbus Server URL / IP:", Qt::AlignRight);
    CreateTextField(page, IdHostField, QRect(220, 100, 210, 20), "127.0.0.1", false);
    CreateLabel(page, IdPortLabel, QRect(140, 130, 75, 20), "Port:", Qt::AlignRight);
    // A port is 16 bits and a unit id one byte: a larger value would go out
    // as its low bits, not as the field shows.
    LimitFieldValue(CreateTextField(page, IdPortField, QRect(220, 130, 210, 20), "502", true), 0, kHighestPort);
    CreateLabel(page, IdUnitLabel, QRect(110, 160, 105, 20), "Modbus Unit Id:", Qt::AlignRight);
    LimitFieldValue(CreateTextField(page, IdUnitField, QRect(220, 160, 210, 20), "1", true), 0, kHighestUnitId);
    CreateButton(page, IdConnectComms, QRect(140, 190, 290, 30), "Connect / Disconnect");
    CreateLabel(page, IdCommandLabel, QRect(140, 270, 70, 20), "Command:", Qt::AlignRight);
    CreateTextField(page, IdCommandField, QRect(220, 270, 210, 20), "quit", false);
    CreateButton(page, IdSendCommand, QRect(140, 300, 290, 30), "Send Command");
    CreateCheckBox(page, IdOffsetCheck, QRect(140, 390, 290, 20), "Apply standard modbus address offset");
}
