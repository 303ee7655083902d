#include "dataview/value_age.h"

std::string LastReadText(int64_t seconds)
{
    constexpr int64_t kMinute = 60, kHour = 60 * kMinute, kDay = 24 * kHour;
    const int64_t s = seconds < 0 ? 0 : seconds;
    std::string age;
    if (s < kMinute)
        age = std::to_string(s) + " s";
    else if (s < kHour)
        age = std::to_string(s / kMinute) + " min " + std::to_string(s % kMinute) + " s";
    else if (s < kDay)
        age = std::to_string(s / kHour) + " h " + std::to_string(s % kHour / kMinute) + " min";
    else
        age = std::to_string(s / kDay) + " d " + std::to_string(s % kDay / kHour) + " h";
    return "last read " + age + " ago";
}
