#include "sim/modbus_answer.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "sim/live_values.h"
#include "sim/request_framing.h"

bool OpenAnswerer(ModbusAnswerer& answerer, int unit)
{
    answerer.unit = unit;
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

std::vector<uint8_t> AnswerRequest(ModbusAnswerer& answerer, const uint8_t* request, int length)
{
    // libmodbus may look past a short body; give it zeros there, never stale
    // bytes of an earlier request.
    uint8_t copy[kMaxRequestLength] = {};
    std::memcpy(copy, request, static_cast<size_t>(length));

    const auto elapsed = std::chrono::steady_clock::now() - answerer.start;
    UpdateLiveValues(answerer.mapping,
                     static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::seconds>(elapsed).count()));

    int rc;
    if (answerer.unit >= 0 && copy[6] != answerer.unit) {
        rc = modbus_reply_exception(answerer.ctx, copy, MODBUS_EXCEPTION_GATEWAY_TARGET);
    } else {
        switch (CheckRequest(copy, length)) {
        case RequestCheck::BadFunction:
            rc = modbus_reply_exception(answerer.ctx, copy, MODBUS_EXCEPTION_ILLEGAL_FUNCTION);
            break;
        case RequestCheck::BadLength:
            rc = modbus_reply_exception(answerer.ctx, copy, MODBUS_EXCEPTION_ILLEGAL_DATA_VALUE);
            break;
        default:
            // Quantities and addresses out of range get their exception here.
            rc = modbus_reply(answerer.ctx, copy, length, answerer.mapping);
            break;
        }
    }

    std::vector<uint8_t> response;
    if (rc < 0)
        return response;
    uint8_t buffer[512];
    for (;;) {
        ssize_t n = recv(answerer.replyPair[1], buffer, sizeof buffer, MSG_DONTWAIT);
        if (n <= 0)
            break;
        response.insert(response.end(), buffer, buffer + n);
    }
    return response;
}
