// The settings file "vidideze.conf": what the writer produces and what the
// reader accepts. Text in, values out; values in, text out.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "connection/device_settings.h"
#include "connection/line_settings.h"

constexpr const char* kSettingsFileName = "vidideze.conf";

// The stored values. Defaults are those a file without the key gives.
struct SettingsValues {
    std::string IP_URL = "127.0.01";
    int32_t Port = 502;
    int32_t CHB_MBS = 0;
    int32_t ModbusID = 1;
    int32_t StartAddress = 1;
    int32_t RequestSize = 1;
    int32_t ScanRate = 1000;
    int32_t IdxCboDI = 0;
    int32_t IdxCboCO = 0;
    int32_t IdxCboIR = 0;
    int32_t IdxCboHR = 0;
    // The transport and the serial line. Their defaults are the window's
    // initial choices, so a key refused keeps the control as it was.
    int32_t Transport = TransportModbusTcp;  // a TransportKind
    std::string SerialPort = "";             // initialised, so brace lists that end earlier stay complete
    int32_t Baud = 19200;
    SerialParity Parity = ParityEven;  // written N, E or O
    int32_t StopBits = 1;
    // What the device needs (Timeout, ConnectDelay, ...): each key read
    // only when its value is in its range, written only when it is not its
    // default.
    DeviceSettings device{};
};

// Reads the values of the first [Global] group of a file's bytes; every key
// that is missing takes its default. Integers are read by the atoi rule
// (no "$" or "%"), saturating at the int32 limits. Of the transport and
// serial keys only valid values are taken, else the default stays:
// Transport 0, 1 or 2; Baud a standard rate; Parity N, E or O (either
// case); StopBits 1 or 2; SerialPort any text; the device keys within
// their ranges (device_settings.h).
SettingsValues ReadSettingsText(std::string_view bytes);

// The file's exact text: twelve lines, each ending CR LF; five more
// (Transport, SerialPort, Baud, Parity, StopBits) only when the transport
// is not Modbus/TCP or a serial setting is not its default, then each
// device key that is not its default, so that the file of a Modbus/TCP user
// who never changed one stays as it always was. Line breaks in the texts
// are left out, since they would start entries of their own.
std::string WriteSettingsText(const SettingsValues& values);

// True when the values name Modbus/TCP and the serial settings are all
// their defaults: the file then has no serial keys.
bool SerialKeysAreDefault(const SettingsValues& values);

// Current working directory + "/" + the file name; empty if the working
// directory cannot be read.
std::string SettingsPath();
