#include "ui/window_handlers.h"

namespace {

// GUI thread only, set before the window exists; file-local: the kit calls
// up through them and nothing else may.
ControlEventHandler gControlEvent = nullptr;
TimerEventHandler gTimerEvent = nullptr;
CloseHandler gClose = nullptr;

}  // namespace

void SetControlEventHandler(ControlEventHandler handler)
{
    gControlEvent = handler;
}

void SetTimerEventHandler(TimerEventHandler handler)
{
    gTimerEvent = handler;
}

void SetCloseHandler(CloseHandler handler)
{
    gClose = handler;
}

void ReportControlEvent(int id)
{
    if (gControlEvent)
        gControlEvent(id);
}

void ReportTimerEvent(int timerId)
{
    if (gTimerEvent)
        gTimerEvent(timerId);
}

void ReportCloseRequest()
{
    if (gClose)
        gClose();
}
