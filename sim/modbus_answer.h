// Answers one complete request with libmodbus and hands back the response
// bytes instead of sending them, so the server loop decides when and how
// they go out (after the delay, without blocking on a slow client).
#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

#include <modbus.h>

struct ModbusAnswerer {
    modbus_t* ctx = nullptr;                      // a TCP context used only to build replies
    modbus_mapping_t* mapping = nullptr;          // the four tables
    int replyPair[2] = {-1, -1};                  // libmodbus writes into [0], we read [1]
    int unit = -1;                                // the unit id served, -1 = every one
    std::chrono::steady_clock::time_point start;  // for the live registers
};

// Sets up the tables with their start values. False when out of memory or
// descriptors.
bool OpenAnswerer(ModbusAnswerer& answerer, int unit);
void CloseAnswerer(ModbusAnswerer& answerer);

// The response to a complete request of the given length (the caller has
// checked the header). Empty only if libmodbus failed.
std::vector<uint8_t> AnswerRequest(ModbusAnswerer& answerer, const uint8_t* request, int length);
