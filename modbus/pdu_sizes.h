// How long the PDU of each function code this program knows is, request and
// reply, for a quantity of values or as its own bytes tell it: one table,
// asked by the frame builders, the collecting of replies, the judge, the
// write queue and the simulator. Plain arithmetic: no I/O, no Qt.
#pragma once

#include <cstdint>

#include "common/table_numbers.h"

// The longest PDU a Modbus frame carries.
constexpr int kMaxPduLength = 253;
// An exception reply: function | 0x80, exception code.
constexpr int kExceptionPduLength = 2;

// How the length of one side of a function's PDU is found.
enum PduCount {
    CountNone,     // fixed: the first `fixed` bytes are the whole PDU
    CountByte,     // the last of the `fixed` bytes counts the value bytes that follow
    CountObjects,  // an object list follows the `fixed` bytes (device identification)
};

struct PduShape {
    int fixed = 0;
    PduCount count = CountNone;
};

// One function code: the data table it reads or writes (a TableNumber; 0
// for none), whether its values are bits (eight a byte) or registers (two
// bytes each), and the shapes of its request and reply.
struct FunctionSizes {
    uint8_t function = 0;
    int table = 0;
    bool bits = false;
    PduShape request;
    PduShape reply;
};

inline constexpr FunctionSizes kFunctionSizes[] = {
    // function, table, bits, request {fixed, count}, reply {fixed, count}
    {1, TableCoils, true, {5, CountNone}, {2, CountByte}},               // Read Coils
    {2, TableDiscreteInputs, true, {5, CountNone}, {2, CountByte}},      // Read Discrete Inputs
    {3, TableHoldingRegisters, false, {5, CountNone}, {2, CountByte}},   // Read Holding Registers
    {4, TableInputRegisters, false, {5, CountNone}, {2, CountByte}},     // Read Input Registers
    {5, TableCoils, true, {5, CountNone}, {5, CountNone}},               // Write Single Coil
    {6, TableHoldingRegisters, false, {5, CountNone}, {5, CountNone}},   // Write Single Register
    {15, TableCoils, true, {6, CountByte}, {5, CountNone}},              // Write Multiple Coils
    {16, TableHoldingRegisters, false, {6, CountByte}, {5, CountNone}},  // Write Multiple Registers
    // Read Device Identification (MEI type 14): function, MEI type, read
    // code, conformity level, more follows, next object id, number of
    // objects, then the objects.
    {43, 0, false, {4, CountNone}, {7, CountObjects}},
};

// The row of function; for a code that is not in the table, an empty row
// (function 0, no table, no shapes).
constexpr FunctionSizes FunctionSizesOf(int function)
{
    for (const FunctionSizes& row : kFunctionSizes)
        if (row.function == function)
            return row;
    return FunctionSizes{};
}

// Reads (1 to 4): the reply carries the values.
constexpr bool IsReadFunction(int function)
{
    return FunctionSizesOf(function).reply.count == CountByte;
}

// Writes (5, 6, 15, 16): the reply echoes the request's first five bytes.
constexpr bool IsWriteFunction(int function)
{
    const FunctionSizes row = FunctionSizesOf(function);
    return row.table != 0 && row.reply.count == CountNone;
}

// The read function of table 1..4 (Discrete Inputs 2, Coils 1, Input
// Registers 4, Holding Registers 3); 0 for any other number.
constexpr int ReadFunctionCode(int table)
{
    for (const FunctionSizes& row : kFunctionSizes)
        if (row.table == table && row.reply.count == CountByte)
            return row.function;
    return 0;
}

// Bytes that quantity values of the function take: (quantity + 7) / 8 for
// bits, 2 * quantity for registers.
constexpr int ValueBytes(int function, int quantity)
{
    return FunctionSizesOf(function).bits ? (quantity + 7) / 8 : 2 * quantity;
}

// The length of one side of a function's PDU for quantity values; -1 when
// only the PDU itself tells it.
constexpr int ShapeLength(int function, PduShape shape, int quantity)
{
    switch (shape.count) {
    case CountNone:
        return shape.fixed;
    case CountByte:
        return shape.fixed + ValueBytes(function, quantity);
    case CountObjects:
        break;
    }
    return -1;
}

// The PDU length of a request of function for quantity values (reads 5,
// single writes 5, function 15 and 16 6 + their value bytes, device
// identification 4); 0 for a function not in the table.
constexpr int RequestPduLength(int function, int quantity)
{
    return ShapeLength(function, FunctionSizesOf(function).request, quantity);
}

// The PDU length of the valid reply to a request of function for quantity
// values (reads 2 + their value bytes, writes 5); -1 when only the reply
// itself tells it (device identification) and for a function not in the
// table. May exceed kMaxPduLength: a quantity no reply can carry.
constexpr int ReplyPduLength(int function, int quantity)
{
    const FunctionSizes row = FunctionSizesOf(function);
    return row.function != 0 ? ShapeLength(function, row.reply, quantity) : -1;
}

// The longest reply PDU such a request can be answered with: a read's
// reply as far as its byte count can announce (255 value bytes), a write's
// echo, a device identification's longest PDU.
constexpr int LongestReplyPdu(int function, int quantity)
{
    const FunctionSizes row = FunctionSizesOf(function);
    if (row.function == 0 || row.reply.count == CountObjects)
        return kMaxPduLength;
    if (row.reply.count == CountByte) {
        const int values = ValueBytes(function, quantity);
        return row.reply.fixed + (values < 255 ? values : 255);
    }
    return row.reply.fixed;
}

// How long the request PDU (reply: the reply PDU, exceptions included)
// that starts with pdu is, as its own bytes tell: 0 while count bytes are
// too few to tell, -1 for a function code not in the table (or an object
// list no PDU can hold).
int RequestPduLengthOf(const uint8_t* pdu, int count);
int ReplyPduLengthOf(const uint8_t* pdu, int count);

// The length of a device identification reply PDU (function 43, MEI type
// 14) as its object list tells it: 0 while the count bytes there are too
// few to tell, -1 when it cannot be such a reply (another function or MEI
// type, or a list that runs past kMaxPduLength).
int DeviceIdPduLength(const uint8_t* pdu, int count);
