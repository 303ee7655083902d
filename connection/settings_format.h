// The settings file "vidideze.conf": what the writer produces and what the
// reader accepts. Text in, values out; values in, text out.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

constexpr const char* kSettingsFileName = "vidideze.conf";

// The eleven stored values. Defaults are those a file without the key gives.
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
};

// Reads the values of the first [Global] group of a file's bytes; every key
// that is missing takes its default. Integers are read by the atoi rule
// (no "$" or "%"), saturating at the int32 limits.
SettingsValues ReadSettingsText(std::string_view bytes);

// The file's exact text: twelve lines, each ending CR LF. Line breaks in the
// host text are left out, since they would start entries of their own.
std::string WriteSettingsText(const SettingsValues& values);

// Current working directory + "/" + the file name; empty if the working
// directory cannot be read.
std::string SettingsPath();
