// The unit classifier over scripted devices: which probes it sends, what it
// calls each unit, when it identifies, and when every unit looks alike.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "modbus/unit_scan.h"

namespace {

using Bytes = std::vector<uint8_t>;

ScanReply Answer(int length = 4)
{
    ScanReply r;
    r.outcome.kind = OutcomeValid;
    r.pdu.assign(static_cast<size_t>(length), 0);
    r.pdu[0] = 3;
    return r;
}

ScanReply Refusal(uint8_t code)
{
    ScanReply r;
    r.outcome.kind = OutcomeException;
    r.outcome.exceptionCode = code;
    return r;
}

ScanReply Garbled(uint8_t unit)
{
    ScanReply r;
    r.outcome.kind = OutcomeInvalid;
    r.outcome.fault = FaultUnitId;
    r.replyUnit = unit;
    return r;
}

const ScanReply kSilent{};

ScanReply Identity(uint8_t more, uint8_t next, const std::vector<std::pair<uint8_t, std::string>>& objects)
{
    ScanReply r;
    r.outcome.kind = OutcomeValid;
    r.pdu = {43, 14, 1, 0x81, more, next, static_cast<uint8_t>(objects.size())};
    for (const auto& [id, value] : objects) {
        r.pdu.push_back(id);
        r.pdu.push_back(static_cast<uint8_t>(value.size()));
        r.pdu.insert(r.pdu.end(), value.begin(), value.end());
    }
    return r;
}

// A device: its answer to each probe function (silent where none is
// given), and its answers to identification requests, in order.
struct Device {
    std::map<int, ScanReply> probes;
    std::vector<ScanReply> identity;
};

// Drives the scan to its end against devices (by unit id; a missing unit
// is silent) and returns what was sent: "3 4 43:0 ..." per unit.
std::map<int, std::string> Drive(UnitScan& scan, std::map<int, Device> devices)
{
    std::map<int, std::string> sent;
    std::map<int, size_t> identified;
    ScanRequest request;
    for (int guard = 0; guard < 10000 && NextUnitRequest(scan, &request); guard++) {
        std::string& line = sent[request.unit];
        line += (line.empty() ? "" : " ") + std::to_string(request.function);
        Device& device = devices[request.unit];
        ScanReply reply;
        if (request.function == 43) {
            line += ":" + std::to_string(request.objectId);
            const size_t n = identified[request.unit]++;
            reply = n < device.identity.size() ? device.identity[n] : ScanReply{};
        } else {
            EXPECT_EQ(request.address, 0);
            EXPECT_EQ(request.quantity, 1);
            auto found = device.probes.find(request.function);
            reply = found != device.probes.end() ? found->second : ScanReply{};
        }
        TakeUnitReply(scan, reply);
    }
    return sent;
}

}  // namespace

TEST(UnitScan, ClassifiesEachKindOfUnit)
{
    const ScanReply vendorOnly = Identity(0, 0, {{0, "V"}});
    const struct {
        const char* what;
        Device device;
        std::string sent;
        UnitStatus status;
        uint8_t function, code;
        bool identified;
    } cases[] = {
        {"answers the first probe", {{{3, Answer()}}, {vendorOnly}}, "3 43:0", UnitAnswers, 3, 0, true},
        {"answers the second", {{{3, Refusal(2)}, {4, Answer()}}, {}}, "3 4 43:0", UnitAnswers, 4, 0, false},
        {"refuses every probe",
         {{{3, Refusal(2)}, {4, Refusal(2)}, {1, Refusal(1)}, {2, Refusal(2)}}, {Refusal(1)}},
         "3 4 1 2 43:0",
         UnitException,
         2,
         2,
         false},
        {"refuses one, silent to the rest", {{{3, Refusal(4)}}, {}}, "3 4 1 2 43:0", UnitException, 3, 4, false},
        {"target failed to respond", {{{3, Refusal(0x0B)}}, {}}, "3", UnitAbsent, 3, 0x0B, false},
        {"path unavailable on a later probe",
         {{{3, Refusal(1)}, {4, Refusal(0x0A)}}, {}},
         "3 4",
         UnitAbsent,
         4,
         0x0A,
         false},
        {"silent", {{}, {}}, "3", UnitSilent, 0, 0, false},
        {"silent to the first, answers later: one probe only", {{{4, Answer()}}, {}}, "3", UnitSilent, 0, 0, false},
        {"answers as another unit", {{{3, Garbled(0)}}, {Garbled(0)}}, "3 43:0", UnitInvalid, 3, 0, false},
        {"identity garbled", {{{3, Answer()}}, {Garbled(1)}}, "3 43:0", UnitAnswers, 3, 0, false},
    };
    for (const auto& c : cases) {
        UnitScan scan = StartUnitScan(5, 5, true);
        const auto sent = Drive(scan, {{5, c.device}});
        EXPECT_EQ(sent.at(5), c.sent) << c.what;
        ASSERT_EQ(scan.results.size(), 1u) << c.what;
        const UnitResult& r = scan.results[0];
        EXPECT_EQ(r.unit, 5) << c.what;
        EXPECT_EQ(r.status, c.status) << c.what;
        EXPECT_EQ(r.function, c.function) << c.what;
        EXPECT_EQ(r.exceptionCode, c.code) << c.what;
        EXPECT_EQ(r.identified, c.identified) << c.what;
    }
}

TEST(UnitScan, IdentifiesAcrossRepliesAndScansARangeInOrder)
{
    Device a{{{3, Answer()}},
             {Identity(0xFF, 1, {{0, "Sorbel"}}), Identity(0xFF, 2, {{1, "SIM-1"}}), Identity(0, 0, {{2, "1.0"}})}};
    Device b{{{3, Refusal(2)}, {4, Refusal(2)}, {1, Refusal(2)}, {2, Refusal(2)}}, {Identity(0, 0, {{1, "X"}})}};
    UnitScan scan = StartUnitScan(1, 4, true);
    const auto sent = Drive(scan, {{1, a}, {3, b}, {4, Device{{{3, Refusal(0x0B)}}, {}}}});
    EXPECT_EQ(sent.at(1), "3 43:0 43:1 43:2");
    EXPECT_EQ(sent.at(2), "3");
    EXPECT_EQ(sent.at(3), "3 4 1 2 43:0");
    EXPECT_EQ(sent.at(4), "3");
    ASSERT_EQ(scan.results.size(), 4u);
    for (int i = 0; i < 4; i++)
        EXPECT_EQ(scan.results[static_cast<size_t>(i)].unit, i + 1);
    EXPECT_EQ(scan.results[0].identity, (std::array<std::string, 3>{"Sorbel", "SIM-1", "1.0"}));
    EXPECT_TRUE(scan.results[2].identified);
    EXPECT_EQ(scan.results[2].identity, (std::array<std::string, 3>{"", "X", ""}));
    EXPECT_EQ(scan.results[3].status, UnitAbsent);

    // Without --id nothing is identified; a finished scan asks nothing more.
    UnitScan plain = StartUnitScan(1, 1, false);
    EXPECT_EQ(Drive(plain, {{1, a}}).at(1), "3");
    EXPECT_FALSE(plain.results[0].identified);
    ScanRequest request;
    EXPECT_FALSE(NextUnitRequest(plain, &request));
    EXPECT_FALSE(TakeUnitReply(plain, Answer()));
}

TEST(UnitScan, EveryUnitAlike)
{
    auto scanned = [](std::map<int, Device> devices, int last) {
        UnitScan scan = StartUnitScan(1, last, true);
        Drive(scan, devices);
        return AllUnitsAlike(scan.results);
    };
    const Device plain{{{3, Answer()}}, {Identity(0, 0, {{0, "V"}})}};
    const Device longer{{{3, Answer(6)}}, {Identity(0, 0, {{0, "V"}})}};
    const Device other{{{3, Answer()}}, {Identity(0, 0, {{0, "W"}})}};
    const Device asZero{{{3, Garbled(0)}}, {}};
    EXPECT_TRUE(scanned({{1, plain}, {2, plain}, {3, plain}}, 3));
    EXPECT_TRUE(scanned({{1, asZero}, {2, asZero}}, 2));
    EXPECT_FALSE(scanned({{1, plain}}, 1));
    EXPECT_FALSE(scanned({{1, plain}, {2, plain}}, 3));
    EXPECT_FALSE(scanned({{1, plain}, {2, longer}}, 2));
    EXPECT_FALSE(scanned({{1, plain}, {2, other}}, 2));
    EXPECT_FALSE(scanned({}, 3));
    EXPECT_STREQ(UnitStatusName(UnitAbsent), "absent");
}
