// How the window kit reaches the program: through the handlers the program
// gives it once at start-up, never by calling it directly. Until a handler
// is set its events go nowhere. GUI thread only.
#pragma once

// A control event: the control's id, not the kind of notification.
using ControlEventHandler = void (*)(int id);
// A tick of the window timer with this id.
using TimerEventHandler = void (*)(int timerId);
// The user asked to close the window.
using CloseHandler = void (*)();

void SetControlEventHandler(ControlEventHandler handler);
void SetTimerEventHandler(TimerEventHandler handler);
void SetCloseHandler(CloseHandler handler);

// Used by the kit's controls, timers and window to pass their events on.
void ReportControlEvent(int id);
void ReportTimerEvent(int timerId);
void ReportCloseRequest();
