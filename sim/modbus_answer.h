// Answers one complete request with libmodbus and hands back the response
// bytes instead of sending them, so the server loop decides when and how
// they go out (after the delay, without blocking on a slow client).
#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

#include <modbus.h>

#include "sim/sim_options.h"

struct ModbusAnswerer {
    modbus_t* ctx = nullptr;                      // a TCP context used only to build replies
    modbus_mapping_t* mapping = nullptr;          // the four tables
    int replyPair[2] = {-1, -1};                  // libmodbus writes into [0], we read [1]
    const SimOptions* options = nullptr;          // unit ids answered and the device's quirks
    std::chrono::steady_clock::time_point start;  // for the live registers
};

// Sets up the tables with their start values. False when out of memory or
// descriptors.
bool OpenAnswerer(ModbusAnswerer& answerer, const SimOptions& options);
void CloseAnswerer(ModbusAnswerer& answerer);

struct SimAnswer {
    bool ignored = false;        // the device does not answer this request
    std::vector<uint8_t> bytes;  // the Modbus/TCP response; empty (and not ignored) only if libmodbus failed
};

// The response to a complete Modbus/TCP request of the given length (the
// caller has checked the header), quirks applied (device_quirks.h).
SimAnswer AnswerRequest(ModbusAnswerer& answerer, const uint8_t* request, int length);
