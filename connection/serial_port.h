// A serial port as a connection: POSIX termios, raw 8 data bits, no flow
// control, held exclusively so that two programs never share a bus. Send
// and receive go through transport.h like a TCP connection's.
#pragma once

#include <string>
#include <vector>

#include "connection/line_settings.h"
#include "connection/transport.h"

// Opens settings.port with the line settings and returns the connection, or
// none with why in failure (when not null):
// - ConnectNoDevice: nothing at the path, or no hardware behind it;
// - ConnectPermission: the user may not open it;
// - ConnectBusy: another program holds it (its lock or exclusive mode);
// - ConnectNotSerial: the path is not a terminal device;
// - ConnectFailed: a baud rate, parity or stop bits not offered, or the
//   driver refused the settings.
// Input waiting from before is discarded. Never blocks for long.
Connection* OpenSerialPort(const SerialSettings& settings, ConnectFailure* failure);

// A message-box sentence for a failed open of port, naming the group that
// gives access when permission was denied (the device's group, dialout on
// Debian).
std::string SerialOpenFailureText(ConnectFailure failure, const std::string& port);

// The serial devices that exist, for a drop-down, those with a device
// plugged in first: the adapters by their names under /dev/serial/by-id
// (which stay right whatever order they were plugged in), then
// /dev/ttyUSB* and /dev/ttyACM* that have no such name, then the built-in
// /dev/ttyS*, each in numeric order. A ttyS the kernel knows has no UART
// behind it is left out.
std::vector<std::string> ListSerialPorts();
// The same from other directories (tests): devices in deviceDir, the
// kernel's view of them in ttyClassDir, the adapters' names in byIdDir.
std::vector<std::string> ListSerialPorts(const std::string& deviceDir, const std::string& ttyClassDir,
                                         const std::string& byIdDir);

// The port to offer from such a list: the first with a device plugged in,
// an adapter. A built-in ttyS opens whether or not anything is wired to it,
// so it is never offered; empty when there is no adapter.
std::string SerialPortToOffer(const std::vector<std::string>& ports);
