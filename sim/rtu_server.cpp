#include "sim/rtu_server.h"

#include <poll.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include <modbus.h>

#include "sim/live_values.h"

namespace {

std::string Hex(const uint8_t* bytes, int count)
{
    std::string text;
    char two[4];
    for (int i = 0; i < count; ++i) {
        std::snprintf(two, sizeof two, i ? " %02X" : "%02X", bytes[i]);
        text += two;
    }
    return text;
}

// A request cut short, with a wrong CRC or of a function not served is the
// line's problem, not the device's: it is dropped and the next one read.
bool RequestFault(int error)
{
    return error == EMBBADCRC || error == EMBBADDATA || error == ETIMEDOUT || error == EMBXILFUN ||
           error == EMBBADEXC || error == EMBMDATA || error == EMBXILVAL || error == EMBXILADD || error == EMBBADSLAVE;
}

}  // namespace

int RunRtuSimulator(const SimOptions& options, const sigset_t& waitMask, const volatile sig_atomic_t& stopSignal)
{
    const int unit = options.unit >= 0 ? options.unit : kDefaultRtuUnit;
    modbus_t* ctx = modbus_new_rtu(options.rtuDevice.c_str(), options.baud, options.parity, 8, options.stopBits);
    if (!ctx || modbus_set_slave(ctx, unit) != 0 || modbus_connect(ctx) != 0) {
        std::fprintf(stderr, "sorbel-sim: cannot open %s: %s\n", options.rtuDevice.c_str(), modbus_strerror(errno));
        if (ctx)
            modbus_free(ctx);
        return 1;
    }
    modbus_mapping_t* mapping = modbus_mapping_new(kSimTableSize, kSimTableSize, kSimTableSize, kSimTableSize);
    if (!mapping) {
        std::fprintf(stderr, "sorbel-sim: cannot set up the data tables\n");
        modbus_close(ctx);
        modbus_free(ctx);
        return 1;
    }
    SetInitialValues(mapping);
    const auto start = std::chrono::steady_clock::now();
    std::printf("sorbel-sim: listening on %s (RTU %d 8%c%d, unit %d)\n", options.rtuDevice.c_str(), options.baud,
                options.parity, options.stopBits, unit);
    std::fflush(stdout);

    int exitCode = 0;
    uint8_t request[MODBUS_RTU_MAX_ADU_LENGTH];
    for (;;) {
        if (stopSignal) {
            std::printf("sorbel-sim: stopped by signal\n");
            std::fflush(stdout);
            break;
        }
        // Wait here, where a stop signal can end the wait: libmodbus's own
        // wait for a request goes on through signals.
        pollfd line{modbus_get_socket(ctx), POLLIN, 0};
        if (ppoll(&line, 1, nullptr, &waitMask) < 0) {
            if (errno == EINTR)
                continue;
            std::fprintf(stderr, "sorbel-sim: poll failed: %s\n", modbus_strerror(errno));
            exitCode = 1;
            break;
        }
        const int length = modbus_receive(ctx, request);
        if (length == 0) {
            if (options.verbose)
                std::fprintf(stderr, "sorbel-sim: a frame for another unit, not answered\n");
            continue;
        }
        if (length < 0) {
            if (RequestFault(errno)) {
                if (options.verbose)
                    std::fprintf(stderr, "sorbel-sim: request dropped: %s\n", modbus_strerror(errno));
                continue;
            }
            std::fprintf(stderr, "sorbel-sim: %s failed: %s\n", options.rtuDevice.c_str(), modbus_strerror(errno));
            exitCode = 1;
            break;
        }
        if (options.verbose)
            std::fprintf(stderr, "sorbel-sim: -> %s\n", Hex(request, length).c_str());
        const auto elapsed = std::chrono::steady_clock::now() - start;
        UpdateLiveValues(mapping,
                         static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::seconds>(elapsed).count()));
        if (options.delayMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(options.delayMs));
        // Quantities and addresses out of range get their exception here; a
        // broadcast is carried out and not answered.
        const int sent = modbus_reply(ctx, request, length, mapping);
        if (options.verbose)
            std::fprintf(stderr, "sorbel-sim: <- %d bytes\n", sent);
    }

    modbus_mapping_free(mapping);
    modbus_close(ctx);
    modbus_free(ctx);
    return exitCode;
}
