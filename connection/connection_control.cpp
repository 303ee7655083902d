#include "connection/connection_control.h"

// Not built yet.
void ToggleConnection() {}
void UpdateConnectionControls() {}
void FinishDeferredDisconnect() {}
