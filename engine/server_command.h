// The free-text command sent to the server on a short-lived connection.
#pragma once

void SendServerCommand();
