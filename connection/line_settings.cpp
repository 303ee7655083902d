#include "connection/line_settings.h"

#include <algorithm>

const char* TransportName(int kind)
{
    switch (kind) {
    case TransportModbusTcp:
        return "Modbus/TCP";
    case TransportRtuOverTcp:
        return "RTU over TCP";
    case TransportRtuSerial:
        return "RTU (serial)";
    default:
        return "";
    }
}

bool IsStandardBaud(int64_t baud)
{
    return std::find(kStandardBauds.begin(), kStandardBauds.end(), baud) != kStandardBauds.end();
}

char ParityLetter(SerialParity parity)
{
    return parity == ParityEven ? 'E' : parity == ParityOdd ? 'O' : 'N';
}

bool ParityFromLetter(std::string_view text, SerialParity* parity)
{
    if (text.size() != 1)
        return false;
    switch (text[0]) {
    case 'N':
    case 'n':
        *parity = ParityNone;
        return true;
    case 'E':
    case 'e':
        *parity = ParityEven;
        return true;
    case 'O':
    case 'o':
        *parity = ParityOdd;
        return true;
    default:
        return false;
    }
}

const char* ParityName(SerialParity parity)
{
    return parity == ParityEven ? "Even" : parity == ParityOdd ? "Odd" : "None";
}

std::string LineSettingsText(const SerialSettings& settings)
{
    return std::to_string(settings.baud) + " 8" + ParityLetter(settings.parity) + std::to_string(settings.stopBits);
}
