// Read Device Identification (function 43, MEI type 14): the request, the
// object list of its reply, and the three basic objects collected across
// replies that say more follow. Bytes in, record out: no I/O, no clock, no
// Qt.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

constexpr int kFunctionDeviceId = 43;  // Encapsulated Interface Transport
constexpr int kMeiDeviceId = 14;       // its MEI type for device identification
// Read device id codes: the basic objects by stream access, and one
// object by individual access.
constexpr int kReadIdBasic = 1;
constexpr int kReadIdIndividual = 4;
// MBAP header, function, MEI type, read code, object id.
constexpr int kDeviceIdRequestLength = 11;
// Function, MEI type, read code, conformity level, more follows, next
// object id, number of objects: the PDU before the object list.
constexpr int kDeviceIdReplyHeader = 7;

// The basic objects: 0 vendor name, 1 product code, 2 major-minor revision.
constexpr int kBasicObjects = 3;

// Builds the Modbus/TCP request at out and returns kDeviceIdRequestLength:
// the low 16 bits of transactionId, the low 8 of unit, MEI type 14, the
// read code and the object id to start from.
int BuildDeviceIdRequest(uint8_t* out, int64_t transactionId, int64_t unit, uint8_t readCode, uint8_t objectId);

struct DeviceIdObject {
    uint8_t id = 0;
    std::string value;  // the bytes as sent, whatever they are
};

struct DeviceIdReply {
    uint8_t readCode = 0;
    uint8_t conformity = 0;
    bool moreFollows = false;  // the device has more objects: ask again from nextObjectId
    uint8_t nextObjectId = 0;
    std::vector<DeviceIdObject> objects;
};

// Parses the count bytes of a reply PDU: true only for function 43 with MEI
// type 14 whose object list fills the PDU exactly. Any non-zero more-follows
// byte counts as "more follow" (the standard's is FF).
bool ParseDeviceIdReply(const uint8_t* pdu, int count, DeviceIdReply* reply);

// The basic objects of one device, gathered over as many requests as its
// replies ask for. Owned by whoever drives the requests.
struct DeviceIdCollection {
    std::array<std::string, kBasicObjects> texts;  // vendor, product code, revision: bytes as sent
    std::array<bool, kBasicObjects> found{};
    uint8_t nextObjectId = 0;  // the object id of the next request
    int requests = 0;          // replies taken so far
    bool done = false;         // no further request is to be made
};

// Takes one valid reply to the request for collection.nextObjectId. The
// collection is done unless the reply says more follow from an object id
// past the one asked, among the basic ones, and one of those is missing; a
// device that keeps saying more follows without moving on is asked at most
// kBasicObjects times.
void TakeDeviceIdReply(DeviceIdCollection& collection, const DeviceIdReply& reply);
