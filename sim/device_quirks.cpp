#include "sim/device_quirks.h"

#include "modbus/device_id.h"
#include "modbus/pdu_sizes.h"
#include "sim/request_framing.h"

namespace {

constexpr int kHeaderLength = 7;            // MBAP header: the PDU starts after it
constexpr uint8_t kConformityBasic = 0x81;  // basic objects, stream and individual access

int Get16(const uint8_t* bytes)
{
    return bytes[0] << 8 | bytes[1];
}

// The table a function reads or writes, and whether it is one of those.
bool TableOf(int function, MapTable* table)
{
    switch (function) {
    case 1:
    case 5:
    case 15:
        *table = MapCoils;
        return true;
    case 2:
        *table = MapInputs;
        return true;
    case 4:
        *table = MapInputRegisters;
        return true;
    case 3:
    case 6:
    case 16:
        *table = MapHoldingRegisters;
        return true;
    default:
        return false;
    }
}

bool TouchesHole(const SimOptions& options, int unit, const uint8_t* request)
{
    MapTable table;
    const int function = request[kHeaderLength];
    if (options.holes.empty() || !TableOf(function, &table))
        return false;
    const int first = Get16(request + kHeaderLength + 1);
    const int count = function == 5 || function == 6 ? 1 : Get16(request + kHeaderLength + 3);
    const int last = first + (count > 0 ? count : 1) - 1;
    for (const SimHole& hole : options.holes)
        if ((hole.unit < 0 || hole.unit == unit) && hole.table == table && first <= hole.last && last >= hole.first)
            return true;
    return false;
}

Quirk Refuse(uint8_t code)
{
    return {QuirkAction::Exception, code};
}

void AppendObject(std::vector<uint8_t>& pdu, int id, const std::string& value)
{
    pdu.push_back(static_cast<uint8_t>(id));
    pdu.push_back(static_cast<uint8_t>(value.size()));
    pdu.insert(pdu.end(), value.begin(), value.end());
}

}  // namespace

Quirk DecideQuirk(const SimOptions& options, const uint8_t* request, int length)
{
    const int unit = request[6];
    const bool broadcast = !options.rtuDevice.empty() && unit == 0;
    if (!broadcast) {
        if (options.gatewayAbsent.test(static_cast<size_t>(unit)))
            return Refuse(11);
        if (options.unitsGiven && !options.units.test(static_cast<size_t>(unit)))
            return {QuirkAction::Ignore, 0};
        if (options.unit >= 0 && unit != options.unit)
            return Refuse(11);
    }
    switch (CheckRequest(request, length)) {
    case RequestCheck::BadFunction:
        return Refuse(1);
    case RequestCheck::BadLength:
        return Refuse(3);
    case RequestCheck::Serve:
        break;
    }
    const int function = request[kHeaderLength];
    if (function == kFunctionDeviceId)
        return {QuirkAction::Identify, 0};
    if (options.onlyMultipleWrites && (function == 5 || function == 6))
        return Refuse(1);
    if (options.maxRegisters > 0 && (function == 3 || function == 4) &&
        Get16(request + kHeaderLength + 3) > options.maxRegisters)
        return Refuse(3);
    if (TouchesHole(options, unit, request))
        return Refuse(2);
    return {};
}

std::vector<uint8_t> IdentityReplyPdu(const SimOptions& options, const uint8_t* pdu, int pduLength,
                                      uint8_t* exceptionCode)
{
    *exceptionCode = 0;
    if (pduLength != 4 || pdu[1] != kMeiDeviceId || !options.hasIdentity) {
        *exceptionCode = 1;
        return {};
    }
    const int readCode = pdu[2];
    int object = pdu[3];
    if (readCode < kReadIdBasic || readCode > kReadIdIndividual) {
        *exceptionCode = 3;
        return {};
    }
    if (readCode == kReadIdIndividual && object >= kBasicObjects) {
        *exceptionCode = 2;
        return {};
    }
    // An object it does not have restarts the stream at the first one.
    if (object >= kBasicObjects)
        object = 0;

    std::vector<uint8_t> reply = {
        kFunctionDeviceId, kMeiDeviceId, static_cast<uint8_t>(readCode), kConformityBasic, 0, 0, 0};
    const int lastObject = readCode == kReadIdIndividual ? object : kBasicObjects - 1;
    int count = 0;
    for (; object <= lastObject; object++) {
        const std::string& value = options.identity[static_cast<size_t>(object)];
        if (reply.size() + 2 + value.size() > static_cast<size_t>(kMaxPduLength)) {
            reply[4] = 0xFF;  // more follows, from this object
            reply[5] = static_cast<uint8_t>(object);
            break;
        }
        AppendObject(reply, object, value);
        count++;
    }
    reply[6] = static_cast<uint8_t>(count);
    return reply;
}
