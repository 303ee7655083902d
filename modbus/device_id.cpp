#include "modbus/device_id.h"

#include "modbus/frames.h"
#include "modbus/pdu_sizes.h"

int BuildDeviceIdRequest(uint8_t* out, int64_t transactionId, int64_t unit, uint8_t readCode, uint8_t objectId)
{
    Put16(out, static_cast<int64_t>(static_cast<uint64_t>(transactionId) & 0xFFFF));
    out[2] = 0;
    out[3] = 0;
    out[4] = 0;
    out[5] = kDeviceIdRequestLength - 6;
    out[6] = static_cast<uint8_t>(static_cast<uint64_t>(unit) & 0xFF);
    out[7] = kFunctionDeviceId;
    out[8] = kMeiDeviceId;
    out[9] = readCode;
    out[10] = objectId;
    return kDeviceIdRequestLength;
}

bool ParseDeviceIdReply(const uint8_t* pdu, int count, DeviceIdReply* reply)
{
    // Too few bytes to tell are no reply either, the empty PDU included.
    if (count < kDeviceIdReplyHeader || DeviceIdPduLength(pdu, count) != count)
        return false;
    reply->readCode = pdu[2];
    reply->conformity = pdu[3];
    reply->moreFollows = pdu[4] != 0;
    reply->nextObjectId = pdu[5];
    reply->objects.clear();
    for (int at = kDeviceIdReplyHeader; at < count; at += 2 + pdu[at + 1]) {
        const char* value = reinterpret_cast<const char*>(pdu + at + 2);
        reply->objects.push_back({pdu[at], std::string(value, pdu[at + 1])});
    }
    return true;
}

void TakeDeviceIdReply(DeviceIdCollection& collection, const DeviceIdReply& reply)
{
    collection.requests++;
    for (const DeviceIdObject& object : reply.objects) {
        if (object.id >= kBasicObjects || collection.found[object.id])
            continue;
        collection.texts[object.id] = object.value;
        collection.found[object.id] = true;
    }
    bool missing = false;
    for (int id = reply.nextObjectId; id < kBasicObjects; id++)
        missing = missing || !collection.found[static_cast<size_t>(id)];
    // Only forward, so that a device pointing back at an object it already
    // sent cannot keep the collection going.
    const bool onward = reply.moreFollows && reply.nextObjectId > collection.nextObjectId;
    collection.done = !onward || !missing || collection.requests >= kBasicObjects;
    if (!collection.done)
        collection.nextObjectId = reply.nextObjectId;
}
