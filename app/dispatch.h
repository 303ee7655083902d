// Every control event and timer event of the window goes through here.
#pragma once

// A control event: only the id counts, not the kind of notification.
void DispatchControlEvent(int id);

// A timer event of the main window; only the scan timer has an action.
void DispatchTimerEvent(int timerId);
