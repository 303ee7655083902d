#include "connection/device_settings.h"

int32_t DeviceValue(const DeviceSettings& settings, DeviceKey key)
{
    switch (key) {
    case KeyTimeout:
        return static_cast<int32_t>(settings.timeoutMs);
    case KeyConnectDelay:
        return static_cast<int32_t>(settings.connectDelayMs);
    case KeyRequestGap:
        return static_cast<int32_t>(settings.requestGapMs);
    case KeyMaxRegisters:
        return settings.maxRegisters;
    case KeyMaxBits:
        return settings.maxBits;
    case KeySingleWrites:
        return settings.singleWrites ? 1 : 0;
    case KeyAnyUnitId:
        return settings.anyUnitId ? 1 : 0;
    case KeyCloseAfterCycle:
        return settings.closeAfterCycle ? 1 : 0;
    case kDeviceKeyCount:
        break;
    }
    return 0;
}

bool SetDeviceValue(DeviceSettings& settings, DeviceKey key, int64_t value)
{
    if (key < 0 || key >= kDeviceKeyCount || value < kDeviceKeys[key].lowest || value > kDeviceKeys[key].highest)
        return false;
    const auto number = static_cast<int32_t>(value);
    switch (key) {
    case KeyTimeout:
        settings.timeoutMs = static_cast<uint32_t>(number);
        break;
    case KeyConnectDelay:
        settings.connectDelayMs = static_cast<uint32_t>(number);
        break;
    case KeyRequestGap:
        settings.requestGapMs = static_cast<uint32_t>(number);
        break;
    case KeyMaxRegisters:
        settings.maxRegisters = number;
        break;
    case KeyMaxBits:
        settings.maxBits = number;
        break;
    case KeySingleWrites:
        settings.singleWrites = number != 0;
        break;
    case KeyAnyUnitId:
        settings.anyUnitId = number != 0;
        break;
    case KeyCloseAfterCycle:
        settings.closeAfterCycle = number != 0;
        break;
    case kDeviceKeyCount:
        break;
    }
    return true;
}

bool IsDefaultDevice(const DeviceSettings& settings)
{
    for (int key = 0; key < kDeviceKeyCount; key++)
        if (DeviceValue(settings, static_cast<DeviceKey>(key)) != kDeviceKeys[key].fallback)
            return false;
    return true;
}

std::string DeviceSettingsText(const DeviceSettings& settings)
{
    std::string text;
    auto add = [&](DeviceKey key, const std::string& what) {
        if (DeviceValue(settings, key) == kDeviceKeys[key].fallback)
            return;
        if (!text.empty())
            text += ", ";
        text += what;
    };
    add(KeyTimeout, "time-out " + std::to_string(settings.timeoutMs) + " ms");
    add(KeyConnectDelay, "connect delay " + std::to_string(settings.connectDelayMs) + " ms");
    add(KeyRequestGap, "request gap " + std::to_string(settings.requestGapMs) + " ms");
    add(KeyMaxRegisters, "at most " + std::to_string(settings.maxRegisters) + " registers a read");
    add(KeyMaxBits, "at most " + std::to_string(settings.maxBits) + " bits a read");
    add(KeySingleWrites, "single writes by function 15 and 16");
    add(KeyAnyUnitId, "any unit id accepted");
    add(KeyCloseAfterCycle, "closed after each cycle");
    return text.empty() ? "defaults" : text;
}
