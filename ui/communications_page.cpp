#include <QComboBox>
#include <QLabel>
#include <QRect>

#include <initializer_list>
#include <string>

#include "common/field_limits.h"
#include "connection/line_settings.h"
#include "connection/serial_port.h"
#include "ui/control_ids.h"
#include "ui/pages.h"
#include "ui/port_selector.h"
#include "ui/widgets.h"

namespace {

// The serial line, right under the transport that uses it and before the
// server's address: the port, then baud rate, parity and stop bits on one
// row as wide as the fields below. Disabled at first: the transport chosen
// at first is Modbus/TCP.
void BuildSerialLine(QWidget* page)
{
    QWidget* created[8] = {};
    created[0] = CreateLabel(page, IdSerialPortLabel, QRect(50, 38, 165, 20), "Serial port:", Qt::AlignRight);
    created[1] = CreatePortSelector(page, IdSerialPortField, QRect(220, 36, 210, 25), ListSerialPorts);
    created[2] = CreateLabel(page, IdBaudLabel, QRect(50, 68, 40, 20), "Baud:", Qt::AlignRight);
    QComboBox* baud = CreateSelector(page, IdBaudSelector, 94, 66, 80, {});
    for (int32_t rate : kStandardBauds)
        baud->addItem(QString::number(rate));
    baud->setCurrentIndex(baud->findText("19200"));
    created[3] = baud;
    created[4] = CreateLabel(page, IdParityLabel, QRect(186, 68, 48, 20), "Parity:", Qt::AlignRight);
    QComboBox* parity = CreateSelector(page, IdParitySelector, 238, 66, 64,
                                       {ParityName(ParityNone), ParityName(ParityEven), ParityName(ParityOdd)});
    parity->setCurrentIndex(ParityEven);
    created[5] = parity;
    created[6] = CreateLabel(page, IdStopBitsLabel, QRect(314, 68, 70, 20), "Stop bits:", Qt::AlignRight);
    created[7] = CreateSelector(page, IdStopBitsSelector, 388, 66, 42, {"1", "2"});
    for (QWidget* w : created)
        w->setEnabled(false);
}

}  // namespace

// The transport and its serial line above the server's address, so that
// Tab goes from the transport through every field of the link to Connect.
// The controls of the server's address, Connect, the command and the
// address offset stand where they always have. The row between Connect and
// "Command:" (y 228 to 258, x 140 to 430) holds the buttons that belong
// with the connection: "Scan..." on its right half.
void BuildCommunicationsPage(QWidget* page)
{
    CreateLabel(page, IdTransportLabel, QRect(50, 8, 165, 20), "Transport:", Qt::AlignRight);
    CreateSelector(
        page, IdTransportSelector, 220, 6, 210,
        {TransportName(TransportModbusTcp), TransportName(TransportRtuOverTcp), TransportName(TransportRtuSerial)});
    BuildSerialLine(page);
    CreateLabel(page, IdHostLabel, QRect(50, 100, 165, 20), "Modbus Server URL / IP:", Qt::AlignRight);
    CreateTextField(page, IdHostField, QRect(220, 100, 210, 20), "127.0.0.1", false);
    CreateLabel(page, IdPortLabel, QRect(140, 130, 75, 20), "Port:", Qt::AlignRight);
    // A port is 16 bits and a unit id one byte: a larger value would go out
    // as its low bits, not as the field shows.
    LimitFieldValue(CreateTextField(page, IdPortField, QRect(220, 130, 210, 20), "502", true), 0, kHighestPort);
    CreateLabel(page, IdUnitLabel, QRect(110, 160, 105, 20), "Modbus Unit Id:", Qt::AlignRight);
    LimitFieldValue(CreateTextField(page, IdUnitField, QRect(220, 160, 210, 20), "1", true), 0, kHighestUnitId);
    CreateButton(page, IdConnectComms, QRect(140, 190, 290, 30), "Connect / Disconnect");
    // What the device needs, then the scan: the free row under Connect,
    // left to right, next in the Tab order. Alt+D and Alt+S open them.
    CreateButton(page, IdDeviceSettings, QRect(140, 228, 140, 30), "&Device settings...");
    CreateButton(page, IdScanButton, QRect(290, 228, 140, 30), "&Scan...");
    CreateLabel(page, IdCommandLabel, QRect(140, 270, 70, 20), "Command:", Qt::AlignRight);
    CreateTextField(page, IdCommandField, QRect(220, 270, 210, 20), "quit", false);
    CreateButton(page, IdSendCommand, QRect(140, 300, 290, 30), "Send Command");
    CreateCheckBox(page, IdOffsetCheck, QRect(140, 390, 290, 20), "Apply standard modbus address offset");
}
