// Reading a command line (the simulator's and the scan's): options as
// "--name value" or "--name=value", and numbers as plain decimal digits
// only, so that "+5", " 5", "0x10" and "5ms" are refused rather than read
// as something the user did not mean. Pure.
#pragma once

#include <initializer_list>
#include <string_view>
#include <vector>

// One argument taken as an option: "--name=value" split at the "=",
// anything else a name alone.
struct CommandOption {
    std::string_view name;
    std::string_view value;
    bool hasValue = false;
};
CommandOption SplitOptionArgument(std::string_view argument);

// True when name is one of names.
bool OptionIsOneOf(std::string_view name, std::initializer_list<const char*> names);

// Gives an option that takes a value its value when it came without one:
// the next argument, i moving past it. False when there is none.
bool TakeOptionValue(int argc, const char* const* argv, int& i, CommandOption& option);

// The number text spells, if it is within low..high.
bool ReadOptionNumber(std::string_view text, long low, long high, int& out);

// "N" (first = last = N) or "FIRST-LAST" with first <= last, both within
// low..high.
bool ReadOptionRange(std::string_view text, long low, long high, int& first, int& last);

// text cut at every separator; an empty text is one empty item.
std::vector<std::string_view> SplitOption(std::string_view text, char separator);
