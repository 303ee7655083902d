#include "modbus/response_wait.h"

#include <chrono>
#include <thread>

#include "common/tick.h"

ResponseWait SendAndAwaitResponse(Connection* connection, const uint8_t* request, int length, uint8_t* buffer,
                                  int capacity, uint32_t (*tick)())
{
    if (!tick)
        tick = MillisecondTick;
    ResponseWait wait;
    if (!connection || SendData(connection, request, length) != length)
        return wait;

    wait.sendTime = tick();
    for (;;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        uint32_t elapsed = tick() - wait.sendTime;
        if (elapsed > kResponseTimeoutMs) {
            wait.outcome = WaitTimedOut;
            return wait;
        }
        if (CheckForData(connection) == DataReady)
            break;
    }
    wait.outcome = WaitReceived;
    wait.received = ReceiveData(connection, buffer, capacity);
    return wait;
}
