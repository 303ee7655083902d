// Modbus/TCP requests this client sends and how it judges what comes back.
// Bytes in, record or status out: no I/O, no clock, no Qt.
#pragma once

#include <cstdint>

#include "modbus/pdu_sizes.h"

// Every cycle owns one buffer of this size, into which replies are
// collected (the longest frame is 260 bytes).
constexpr int kCycleBufferSize = 512;

constexpr int kMbapHeaderLength = 7;  // transaction id, protocol id, length, unit id
constexpr int kRequestLength = 12;    // every read and single write
constexpr int kFunctionWriteCoil = 5;
constexpr int kFunctionWriteRegister = 6;
constexpr int kFunctionWriteCoils = 15;
constexpr int kFunctionWriteRegisters = 16;
constexpr int kCoilOn = 65280;  // FF 00
constexpr int kCoilOff = 0;
// The most one Write Multiple Coils / Registers request may carry.
constexpr int kMaxWriteCoils = 1968;
constexpr int kMaxWriteRegisters = 123;

// Writes value as a 16-bit field at out[0], out[1]: the value's hex digits
// (a negative value as its 64-bit two's complement), left-padded with "0" to
// four digits, of which the first four are kept. 0..65535 give the ordinary
// big-endian bytes, -1 gives FF FF, 70000 (0x11170) gives 11 17.
void Put16(uint8_t* out, int64_t value);

// The address a request carries for an address number: one less when the
// offset switch is on. Only 0..kHighestAddress goes on the wire unchanged.
int64_t SentAddress(int64_t address, bool offsetOn);

// The requests below are built with transaction id 0: each request gets its
// own id when it goes out (StampTransactionId), so that a late reply can
// never be taken for the answer to a later request.
void StampTransactionId(uint8_t* request, uint16_t transactionId);

// Builds the 12-byte read request for table 1..4 at out and returns 12.
// The address is startAddress, less one when offsetOn.
int BuildReadRequest(uint8_t* out, int table, int64_t unit, int64_t startAddress, int64_t quantity, bool offsetOn);

// Builds the 12-byte write request (function 5 or 6) at out and returns 12.
// The address is less one when offsetOn.
int BuildWriteRequest(uint8_t* out, int64_t unit, int function, int64_t address, int64_t value, bool offsetOn);

// Length of a Write Multiple Coils (15) or Registers (16) request for count
// values: the 13 bytes up to the byte count, then the data.
constexpr int WriteCoilsRequestLength(int count)
{
    return kMbapHeaderLength + RequestPduLength(kFunctionWriteCoils, count);
}
constexpr int WriteRegistersRequestLength(int count)
{
    return kMbapHeaderLength + RequestPduLength(kFunctionWriteRegisters, count);
}

// Builds the Write Multiple Registers request (function 16) at out:
// address (less one when offsetOn), quantity count, byte count 2 * count,
// then the values high byte first. Returns its length, or 0 with nothing
// written for a count outside 1..kMaxWriteRegisters.
int BuildWriteRegistersRequest(uint8_t* out, int64_t unit, int64_t address, const uint16_t* values, int count,
                               bool offsetOn);

// Builds the Write Multiple Coils request (function 15) at out: address
// (less one when offsetOn), quantity count, byte count, then the states,
// the first coil in the lowest bit of the first byte, unused high bits
// zero. Returns its length, or 0 with nothing written for a count outside
// 1..kMaxWriteCoils.
int BuildWriteCoilsRequest(uint8_t* out, int64_t unit, int64_t address, const bool* states, int count, bool offsetOn);

// Status text for the exception code at offset 8 of a 9-byte response, or
// nullptr for a code that leaves the status text as it is.
const char* ExceptionStatusText(uint8_t code);
