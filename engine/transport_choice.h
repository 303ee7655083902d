// The transport and the serial line the Communications page shows, the
// fields each transport uses, and the serial port offered when RTU on a
// serial line is chosen. Main thread only.
#pragma once

#include "connection/line_settings.h"

// The transport chosen on the Communications page (Modbus/TCP when none
// is), and the serial line its fields show.
TransportKind ChosenTransport();
SerialSettings ChosenSerialLine();

// Enables the fields the chosen transport uses (host and port, or the
// serial line; the server command with Modbus/TCP alone) while not
// connected; all are fixed while connected.
void EnableTransportFields();

// The user chose a transport: its fields are enabled, and choosing a serial
// port with none typed offers the first adapter plugged in, if any.
void TransportChosen();
