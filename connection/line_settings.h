// Which transport the client speaks, and the settings of a serial line.
// Plain values and their names: no I/O, no Qt.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// The values of the settings key Transport.
enum TransportKind {
    TransportModbusTcp = 0,   // Modbus/TCP: MBAP frames over TCP
    TransportRtuOverTcp = 1,  // RTU frames with their CRC in a plain TCP stream
    TransportRtuSerial = 2,   // RTU frames on a serial port
};
constexpr int kTransportKinds = 3;

// "Modbus/TCP", "RTU over TCP", "RTU (serial)"; empty for any other number.
const char* TransportName(int kind);

enum SerialParity { ParityNone, ParityEven, ParityOdd };

// An RTU line: always 8 data bits and no flow control.
struct SerialSettings {
    std::string port;  // a device path such as /dev/ttyUSB0
    int32_t baud = 19200;
    SerialParity parity = ParityEven;
    int32_t stopBits = 1;
};

// The rates a serial port is offered at, lowest first.
constexpr std::array<int32_t, 8> kStandardBauds = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
bool IsStandardBaud(int64_t baud);

// 'N', 'E' or 'O', as the settings file writes it.
char ParityLetter(SerialParity parity);
// "N", "E" or "O" (either case); false for anything else, parity unchanged.
bool ParityFromLetter(std::string_view text, SerialParity* parity);
// "None", "Even", "Odd".
const char* ParityName(SerialParity parity);

// "19200 8E1": the line settings as engineers write them.
std::string LineSettingsText(const SerialSettings& settings);
