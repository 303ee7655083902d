#include "connection/reconnect_backoff.h"

uint32_t ReconnectPauseMs(int failures)
{
    if (failures <= 0)
        return 0;
    return failures == 1 ? 1000 : failures == 2 ? 2000 : 3000;
}

uint32_t ReconnectDelayMs(int failures, uint32_t msSinceLastStart)
{
    const uint32_t pause = ReconnectPauseMs(failures);
    return msSinceLastStart < pause ? pause - msSinceLastStart : 0;
}
