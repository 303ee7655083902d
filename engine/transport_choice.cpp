#include "engine/transport_choice.h"

#include <string>

#include "connection/serial_port.h"
#include "engine/program_state.h"
#include "ui/control_ids.h"
#include "ui/controls.h"

namespace {

// Fixed while connected too, and used only by the TCP transports: the
// server's address.
constexpr int kTcpControls[] = {IdHostLabel, IdHostField, IdPortLabel, IdPortField};
// The server command, on a TCP connection of its own: Modbus/TCP only, as
// through an RTU converter its text would go onto the serial bus.
constexpr int kCommandControls[] = {IdCommandLabel, IdCommandField, IdSendCommand};
// Fixed while connected, and used only by RTU on a serial port.
constexpr int kSerialControls[] = {
    IdSerialPortLabel, IdSerialPortField, IdBaudLabel,     IdBaudSelector,
    IdParityLabel,     IdParitySelector,  IdStopBitsLabel, IdStopBitsSelector,
};

}  // namespace

TransportKind ChosenTransport()
{
    const int index = GetSelectorIndex(IdTransportSelector);
    return index == TransportRtuOverTcp || index == TransportRtuSerial ? static_cast<TransportKind>(index)
                                                                       : TransportModbusTcp;
}

// The serial line as the Communications page shows it.
SerialSettings ChosenSerialLine()
{
    SerialSettings line;
    line.port = GetControlText(IdSerialPortField);
    const int baud = GetSelectorIndex(IdBaudSelector);
    if (baud >= 0 && baud < static_cast<int>(kStandardBauds.size()))
        line.baud = kStandardBauds[static_cast<size_t>(baud)];
    const int parity = GetSelectorIndex(IdParitySelector);
    if (parity >= ParityNone && parity <= ParityOdd)
        line.parity = static_cast<SerialParity>(parity);
    line.stopBits = GetSelectorIndex(IdStopBitsSelector) == 1 ? 2 : 1;
    return line;
}

void EnableTransportFields()
{
    const bool off = program.link.state == LinkOff;
    const TransportKind chosen = ChosenTransport();
    for (int id : kTcpControls)
        EnableControl(id, off && chosen != TransportRtuSerial);
    for (int id : kCommandControls)
        EnableControl(id, off && chosen == TransportModbusTcp);
    for (int id : kSerialControls)
        EnableControl(id, off && chosen == TransportRtuSerial);
}

void TransportChosen()
{
    // Main only: the device offered when serial was chosen, until the user
    // types another or takes it back.
    static std::string offered;
    EnableTransportFields();
    const std::string port = GetControlText(IdSerialPortField);
    if (ChosenTransport() != TransportRtuSerial) {
        // Only looked at: a Modbus/TCP user's settings file keeps no serial
        // keys for it.
        if (!offered.empty() && port == offered)
            SetControlText(IdSerialPortField, "");
        offered.clear();
        return;
    }
    // Offer a port with a device plugged in rather than an empty field; a
    // built-in port, which opens whether or not anything is wired to it, is
    // only chosen by the user.
    if (port.empty()) {
        const std::string offer = SerialPortToOffer(ListSerialPorts());
        if (!offer.empty()) {
            offered = offer;
            SetControlText(IdSerialPortField, offered);
        }
    }
}
