#include "engine/server_command.h"

#include "common/number_rule.h"
#include "connection/transport.h"
#include "engine/program_state.h"
#include "ui/control_ids.h"
#include "ui/controls.h"

void SendServerCommand()
{
    // The button is disabled while connected; this is only the guard.
    if (program.link.state != LinkOff)
        return;

    const int64_t port = TextToInt32(GetControlText(IdPortField));
    const std::string host = GetControlText(IdHostField);
    // A connection of its own, alive only for this call: nothing else can
    // see it, and every failure stays silent.
    Connection* connection = OpenConnection(host, port);
    if (!connection)
        return;
    // Exactly the field's bytes: no line end, an empty text sends nothing.
    SendText(connection, GetControlText(IdCommandField));
    CloseConnection(connection);
}
