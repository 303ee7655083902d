// What the device a session talks to needs of every transaction: the
// settings in force for it, fixed at connect. Plain values: no I/O, no Qt.
#pragma once

#include <cstdint>

// The time a device has to answer a request unless its settings say
// otherwise: a reply completed later than this after the send is a time-out;
// one completed at exactly this many milliseconds is still taken.
constexpr uint32_t kResponseTimeoutMs = 1000;

struct DeviceSettings {
    // How long the device has to answer each request, ms. On RTU the time
    // the request and its longest reply take on the line comes on top.
    uint32_t timeoutMs = kResponseTimeoutMs;
};
