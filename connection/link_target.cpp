#include "connection/link_target.h"

LinkTarget MakeLinkTarget(TransportKind transport, const std::string& host, int64_t port, const std::string& serialPort,
                          int64_t unit)
{
    LinkTarget target;
    target.transport = transport;
    if (transport == TransportRtuSerial) {
        target.serialPort = serialPort;
    } else {
        target.host = host;
        target.port = static_cast<uint16_t>(static_cast<uint64_t>(port) & 0xFFFF);
    }
    target.unit = static_cast<uint8_t>(static_cast<uint64_t>(unit) & 0xFF);
    return target;
}

std::string LinkTargetText(const LinkTarget& target)
{
    std::string text;
    if (target.transport != TransportModbusTcp)
        text = std::string(TransportName(target.transport)) + " ";
    if (target.transport == TransportRtuSerial)
        text += target.serialPort;
    else
        text += target.host + ":" + std::to_string(target.port);
    return text + " unit " + std::to_string(target.unit);
}
