// What the device a session talks to needs of every transaction: how long
// it may take, how it is paced, how much one request may ask of it, how it
// is written, which unit id it answers as, and whether it keeps a
// connection between cycles. Plain values: no I/O, no Qt.
#pragma once

#include <cstdint>
#include <string>

// The time a device has to answer a request unless its settings say
// otherwise: a reply completed later than this after the send is a time-out;
// one completed at exactly this many milliseconds is still taken.
constexpr uint32_t kResponseTimeoutMs = 1000;

// The most one read request may ask for: 125 registers, 2000 bits.
constexpr int32_t kMaxReadRegisters = 125;
constexpr int32_t kMaxReadBits = 2000;

struct DeviceSettings {
    // How long the device has to answer each request, ms. On RTU the time
    // the request and its longest reply take on the line comes on top.
    uint32_t timeoutMs = kResponseTimeoutMs;
    // How long to leave a connection just opened (or opened again) alone
    // before its first request, ms.
    uint32_t connectDelayMs = 0;
    // The least time between the end of one transaction and the next
    // request, ms. RTU's silence between frames comes on top.
    uint32_t requestGapMs = 0;
    // The most values one read request asks for; a longer table is read in
    // as many requests as it needs.
    int32_t maxRegisters = kMaxReadRegisters;
    int32_t maxBits = kMaxReadBits;
    // One coil or register is written by function 15 or 16 instead of 5 or 6.
    bool singleWrites = false;
    // A reply with another unit id than its request's is taken (a gateway
    // that answers as unit 0); every other check stays.
    bool anyUnitId = false;
    // The connection is closed after each cycle and opened again for the
    // next (a gateway that serves one client at a time).
    bool closeAfterCycle = false;
};

// The settings file's keys for them, in the order they are written, each
// with the values it may hold and its default.
enum DeviceKey {
    KeyTimeout,
    KeyConnectDelay,
    KeyRequestGap,
    KeyMaxRegisters,
    KeyMaxBits,
    KeySingleWrites,
    KeyAnyUnitId,
    KeyCloseAfterCycle,
    kDeviceKeyCount,
};

struct DeviceKeyRange {
    const char* name;  // as the settings file spells it
    int32_t lowest;
    int32_t highest;
    int32_t fallback;  // the default: a file without the key gives it
};

inline constexpr DeviceKeyRange kDeviceKeys[kDeviceKeyCount] = {
    {"Timeout", 10, 60000, static_cast<int32_t>(kResponseTimeoutMs)},
    {"ConnectDelay", 0, 60000, 0},
    {"RequestGap", 0, 60000, 0},
    {"MaxRegisters", 1, kMaxReadRegisters, kMaxReadRegisters},
    {"MaxBits", 1, kMaxReadBits, kMaxReadBits},
    {"SingleWrites", 0, 1, 0},
    {"AnyUnitId", 0, 1, 0},
    {"CloseAfterCycle", 0, 1, 0},
};

// The value of one key in settings (a flag as 0 or 1).
int32_t DeviceValue(const DeviceSettings& settings, DeviceKey key);

// Sets one key; false, with settings unchanged, for a value outside the
// key's range.
bool SetDeviceValue(DeviceSettings& settings, DeviceKey key, int64_t value);

// True when every key holds its default.
bool IsDefaultDevice(const DeviceSettings& settings);

// What differs from the defaults, for the log and the status tip:
// "time-out 2500 ms, request gap 200 ms, at most 100 registers a read";
// "defaults" when nothing does.
std::string DeviceSettingsText(const DeviceSettings& settings);
