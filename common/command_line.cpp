#include "common/command_line.h"

CommandOption SplitOptionArgument(std::string_view argument)
{
    CommandOption option{argument, {}, false};
    if (const size_t eq = argument.find('='); argument.rfind("--", 0) == 0 && eq != std::string_view::npos)
        option = {argument.substr(0, eq), argument.substr(eq + 1), true};
    return option;
}

bool OptionIsOneOf(std::string_view name, std::initializer_list<const char*> names)
{
    for (const char* known : names)
        if (name == known)
            return true;
    return false;
}

bool TakeOptionValue(int argc, const char* const* argv, int& i, CommandOption& option)
{
    if (option.hasValue)
        return true;
    if (i + 1 >= argc)
        return false;
    option.value = argv[++i];
    option.hasValue = true;
    return true;
}

bool ReadOptionNumber(std::string_view text, long low, long high, int& out)
{
    if (text.empty() || text.size() > 9)
        return false;
    long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    if (value < low || value > high)
        return false;
    out = static_cast<int>(value);
    return true;
}

bool ReadOptionRange(std::string_view text, long low, long high, int& first, int& last)
{
    const size_t dash = text.find('-');
    if (dash == std::string_view::npos) {
        if (!ReadOptionNumber(text, low, high, first))
            return false;
        last = first;
        return true;
    }
    return ReadOptionNumber(text.substr(0, dash), low, high, first) &&
           ReadOptionNumber(text.substr(dash + 1), low, high, last) && first <= last;
}

std::vector<std::string_view> SplitOption(std::string_view text, char separator)
{
    std::vector<std::string_view> items;
    for (size_t at; (at = text.find(separator)) != std::string_view::npos; text.remove_prefix(at + 1))
        items.push_back(text.substr(0, at));
    items.push_back(text);
    return items;
}
