#include "app/dispatch.h"

#include "engine/connection_control.h"
#include "engine/csv_recording.h"
#include "engine/device_scan.h"
#include "engine/device_setup.h"
#include "engine/message_log.h"
#include "engine/scan_tick.h"
#include "engine/server_command.h"
#include "engine/transport_choice.h"
#include "ui/control_ids.h"
#include "ui/open_link.h"

void DispatchControlEvent(int id)
{
    switch (id) {
    case IdConnectComms:
    case IdConnectData:
    case IdConnectMessages:
        ToggleConnection();
        break;
    case IdSendCommand:
        SendServerCommand();
        break;
    case IdScanButton:
        OpenDeviceScan();
        break;
    case IdTransportSelector:
        TransportChosen();
        break;
    case IdDeviceSettings:
        OpenDeviceSettings();
        break;
    case IdClearLog:
        ClearLogAndCounters();
        break;
    case IdAboutWebLink:
    case IdAboutMailLink:
        OpenLink(id);
        break;
    default:
        // The tab panel, fields, selectors, lists and checkbox are read by
        // whoever needs them; their events carry no action.
        break;
    }
}

void DispatchTimerEvent(int timerId)
{
    if (timerId == kScanTimerId)
        ScanTick();
    else if (timerId == kLinkTimerId)
        LinkTick();
    else if (timerId == kRecordTimerId)
        RecordingTick();
}
