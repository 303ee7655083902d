#include "sim/modbus_answer.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "sim/device_quirks.h"
#include "sim/live_values.h"
#include "sim/request_framing.h"

namespace {

constexpr int kHeaderLength = 7;  // MBAP header: the PDU starts after it

}  // namespace

bool OpenAnswerer(ModbusAnswerer& answerer, const SimOptions& options)
{
    answerer.options = &options;
    answerer.start = std::chrono::steady_clock::now();
    answerer.ctx = modbus_new_tcp("127.0.0.1", 0);
    answerer.mapping = modbus_mapping_new(kSimTableSize, kSimTableSize, kSimTableSize, kSimTableSize);
    if (!answerer.ctx || !answerer.mapping ||
        socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, answerer.replyPair) != 0) {
        CloseAnswerer(answerer);
        return false;
    }
    modbus_set_socket(answerer.ctx, answerer.replyPair[0]);
    SetInitialValues(answerer.mapping);
    return true;
}

void CloseAnswerer(ModbusAnswerer& answerer)
{
    if (answerer.ctx)
        modbus_free(answerer.ctx);
    if (answerer.mapping)
        modbus_mapping_free(answerer.mapping);
    for (int& fd : answerer.replyPair) {
        if (fd >= 0)
            close(fd);
        fd = -1;
    }
    answerer.ctx = nullptr;
    answerer.mapping = nullptr;
}

SimAnswer AnswerRequest(ModbusAnswerer& answerer, const uint8_t* request, int length)
{
    // libmodbus may look past a short body; give it zeros there, never stale
    // bytes of an earlier request.
    uint8_t copy[kMaxRequestLength] = {};
    std::memcpy(copy, request, static_cast<size_t>(length));

    const auto elapsed = std::chrono::steady_clock::now() - answerer.start;
    UpdateLiveValues(answerer.mapping,
                     static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::seconds>(elapsed).count()));

    SimAnswer answer;
    const SimOptions& options = *answerer.options;
    const Quirk quirk = DecideQuirk(options, copy, length);
    int rc = 0;
    switch (quirk.action) {
    case QuirkAction::Ignore:
        answer.ignored = true;
        return answer;
    case QuirkAction::Exception:
        rc = modbus_reply_exception(answerer.ctx, copy, quirk.exceptionCode);
        break;
    case QuirkAction::Identify: {
        uint8_t code = 0;
        const std::vector<uint8_t> pdu = IdentityReplyPdu(options, copy + kHeaderLength, length - kHeaderLength, &code);
        if (pdu.empty()) {
            rc = modbus_reply_exception(answerer.ctx, copy, code);
            break;
        }
        // The request's header, with the length of this reply.
        answer.bytes.assign(copy, copy + kHeaderLength - 1);
        answer.bytes[4] = static_cast<uint8_t>((pdu.size() + 1) >> 8);
        answer.bytes[5] = static_cast<uint8_t>(pdu.size() + 1);
        answer.bytes.push_back(copy[kHeaderLength - 1]);
        answer.bytes.insert(answer.bytes.end(), pdu.begin(), pdu.end());
        break;
    }
    case QuirkAction::Serve:
        // Quantities and addresses out of range get their exception here.
        rc = modbus_reply(answerer.ctx, copy, length, answerer.mapping);
        break;
    }
    if (rc < 0)
        return answer;

    uint8_t buffer[512];
    for (;;) {
        ssize_t n = recv(answerer.replyPair[1], buffer, sizeof buffer, MSG_DONTWAIT);
        if (n <= 0)
            break;
        answer.bytes.insert(answer.bytes.end(), buffer, buffer + n);
    }
    if (options.answerUnit >= 0 && answer.bytes.size() >= kHeaderLength)
        answer.bytes[kHeaderLength - 1] = static_cast<uint8_t>(options.answerUnit);
    return answer;
}
