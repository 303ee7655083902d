// How old a value shown in the data list is, in words for its tool tip.
#pragma once

#include <cstdint>
#include <string>

// "last read 12 s ago" below a minute, "last read 3 min 5 s ago" below an
// hour, "last read 2 h 4 min ago" below a day, "last read 3 d 7 h ago" from
// then on: two units at most, the smaller one cut, never rounded up. A
// negative age (the read was recorded after the clock was read) is 0 s.
std::string LastReadText(int64_t seconds);
