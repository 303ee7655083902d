#include "ui/window_handlers.h"

namespace {

// GUI thread only, set before the window exists; file-local: the kit calls
// up through them and nothing else may.
struct WindowHandlers {
    ControlEventHandler controlEvent = nullptr;
    TimerEventHandler timerEvent = nullptr;
    CloseHandler close = nullptr;
};
WindowHandlers gHandlers;

}  // namespace

void SetControlEventHandler(ControlEventHandler handler)
{
    gHandlers.controlEvent = handler;
}

void SetTimerEventHandler(TimerEventHandler handler)
{
    gHandlers.timerEvent = handler;
}

void SetCloseHandler(CloseHandler handler)
{
    gHandlers.close = handler;
}

void ReportControlEvent(int id)
{
    if (gHandlers.controlEvent)
        gHandlers.controlEvent(id);
}

void ReportTimerEvent(int timerId)
{
    if (gHandlers.timerEvent)
        gHandlers.timerEvent(timerId);
}

void ReportCloseRequest()
{
    if (gHandlers.close)
        gHandlers.close();
}
