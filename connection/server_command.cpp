#include "connection/server_command.h"

// Not built yet.
void SendServerCommand() {}
