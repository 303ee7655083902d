// Numbers on a command line (the simulator's and the scan's): plain
// decimal digits only, so that "+5", " 5", "0x10" and "5ms" are refused
// rather than read as something the user did not mean. Pure.
#pragma once

#include <string_view>
#include <vector>

// The number text spells, if it is within low..high.
bool ReadOptionNumber(std::string_view text, long low, long high, int& out);

// "N" (first = last = N) or "FIRST-LAST" with first <= last, both within
// low..high.
bool ReadOptionRange(std::string_view text, long low, long high, int& first, int& last);

// text cut at every separator; an empty text is one empty item.
std::vector<std::string_view> SplitOption(std::string_view text, char separator);
