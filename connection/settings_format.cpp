#include "connection/settings_format.h"

#include <cstdint>
#include <filesystem>
#include <system_error>
#include <vector>

namespace {

struct Entry {
    std::string_view key;
    std::string_view value;
};

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view TrimLeft(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i]))
        i++;
    return text.substr(i);
}

std::string_view TrimRight(std::string_view text)
{
    size_t n = text.size();
    while (n > 0 && IsBlank(text[n - 1]))
        n--;
    return text.substr(0, n);
}

// Keys and group names ignore the case of ASCII letters only, whatever the
// locale says.
bool SameKey(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    for (size_t i = 0; i < a.size(); i++)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

// The entries of the first [Global] group, in file order. Entries before it,
// in other groups and in any later [Global] group are not returned.
std::vector<Entry> GlobalEntries(std::string_view text)
{
    std::vector<Entry> entries;
    bool inside = false;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = TrimLeft(text.substr(pos, end - pos));
        pos = end + 1;

        if (line.empty() || line[0] == ';')
            continue;
        if (line[0] == '[') {
            if (inside)
                break;
            // Up to the first "]", or the whole rest when it is missing;
            // blanks inside the brackets are part of the name.
            std::string_view name = line.substr(1);
            name = name.substr(0, name.find(']'));
            inside = SameKey(name, "Global");
            continue;
        }
        if (!inside)
            continue;
        size_t equals = line.find('=');
        if (equals == std::string_view::npos)
            entries.push_back({TrimRight(line), {}});
        else
            entries.push_back({TrimRight(line.substr(0, equals)), TrimLeft(line.substr(equals + 1))});
    }
    return entries;
}

const Entry* Find(const std::vector<Entry>& entries, std::string_view key)
{
    for (const Entry& entry : entries)
        if (SameKey(entry.key, key))
            return &entry;
    return nullptr;
}

// atoi: leading white space, one optional sign, decimal digits up to the
// first other character; no digits give 0. Out-of-range values saturate at
// the int32 limits instead of wrapping into a different number.
int32_t Atoi(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        i++;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        i++;
    }
    constexpr uint64_t kLimit = uint64_t{1} << 31;  // |INT32_MIN|
    uint64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; i++) {
        value = value * 10 + static_cast<uint64_t>(text[i] - '0');
        if (value > kLimit)
            value = kLimit;
    }
    if (negative)
        return value >= kLimit ? INT32_MIN : -static_cast<int32_t>(value);
    return value >= kLimit ? INT32_MAX : static_cast<int32_t>(value);
}

void ReadText(const std::vector<Entry>& entries, std::string_view key, std::string& out)
{
    if (const Entry* entry = Find(entries, key))
        out = std::string(TrimRight(entry->value));
}

void ReadInt(const std::vector<Entry>& entries, std::string_view key, int32_t& out)
{
    if (const Entry* entry = Find(entries, key))
        out = Atoi(entry->value);
}

void WriteLine(std::string& text, std::string_view key, std::string_view value)
{
    text.append(key).append(" = ").append(value).append("\r\n");
}

// A value that is not one the window offers is refused: the default stays.
void ReadChoice(const std::vector<Entry>& entries, std::string_view key, bool (*valid)(int64_t), int32_t& out)
{
    if (const Entry* entry = Find(entries, key)) {
        const int32_t value = Atoi(entry->value);
        if (valid(value))
            out = value;
    }
}

bool ValidTransport(int64_t value)
{
    return value >= 0 && value < kTransportKinds;
}

bool ValidStopBits(int64_t value)
{
    return value == 1 || value == 2;
}

// A line break inside a text would start a line of its own that the reader
// takes as a separate entry (a host of "x\nPort = 1" would override the
// real port), so line breaks are left out.
std::string WithoutLineBreaks(const std::string& text)
{
    std::string kept;
    for (char c : text)
        if (c != '\r' && c != '\n')
            kept += c;
    return kept;
}

}  // namespace

SettingsValues ReadSettingsText(std::string_view bytes)
{
    // Linux text is UTF-8 already: of a UTF-8 file only the mark goes.
    if (bytes.size() > 2 && bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);

    const std::vector<Entry> entries = GlobalEntries(bytes);
    SettingsValues values;
    ReadText(entries, "IP_URL", values.IP_URL);
    ReadInt(entries, "Port", values.Port);
    ReadInt(entries, "CHB_MBS", values.CHB_MBS);
    ReadInt(entries, "ModbusID", values.ModbusID);
    ReadInt(entries, "StartAddress", values.StartAddress);
    ReadInt(entries, "RequestSize", values.RequestSize);
    ReadInt(entries, "ScanRate", values.ScanRate);
    ReadInt(entries, "IdxCboDI", values.IdxCboDI);
    ReadInt(entries, "IdxCboCO", values.IdxCboCO);
    ReadInt(entries, "IdxCboIR", values.IdxCboIR);
    ReadInt(entries, "IdxCboHR", values.IdxCboHR);
    ReadChoice(entries, "Transport", ValidTransport, values.Transport);
    ReadText(entries, "SerialPort", values.SerialPort);
    ReadChoice(entries, "Baud", IsStandardBaud, values.Baud);
    if (const Entry* entry = Find(entries, "Parity"))
        ParityFromLetter(TrimRight(entry->value), &values.Parity);
    ReadChoice(entries, "StopBits", ValidStopBits, values.StopBits);
    for (int key = 0; key < kDeviceKeyCount; key++)
        if (const Entry* entry = Find(entries, kDeviceKeys[key].name))
            SetDeviceValue(values.device, static_cast<DeviceKey>(key), Atoi(entry->value));
    return values;
}

bool SerialKeysAreDefault(const SettingsValues& values)
{
    const SettingsValues defaults;
    return values.Transport == defaults.Transport && values.SerialPort == defaults.SerialPort &&
           values.Baud == defaults.Baud && values.Parity == defaults.Parity && values.StopBits == defaults.StopBits;
}

std::string WriteSettingsText(const SettingsValues& values)
{
    std::string text = "[Global]\r\n";
    WriteLine(text, "IP_URL", WithoutLineBreaks(values.IP_URL));
    WriteLine(text, "Port", std::to_string(values.Port));
    WriteLine(text, "CHB_MBS", std::to_string(values.CHB_MBS));
    WriteLine(text, "ModbusID", std::to_string(values.ModbusID));
    WriteLine(text, "StartAddress", std::to_string(values.StartAddress));
    WriteLine(text, "RequestSize", std::to_string(values.RequestSize));
    WriteLine(text, "ScanRate", std::to_string(values.ScanRate));
    WriteLine(text, "IdxCboDI", std::to_string(values.IdxCboDI));
    WriteLine(text, "IdxCboCO", std::to_string(values.IdxCboCO));
    WriteLine(text, "IdxCboIR", std::to_string(values.IdxCboIR));
    WriteLine(text, "IdxCboHR", std::to_string(values.IdxCboHR));
    if (!SerialKeysAreDefault(values)) {
        WriteLine(text, "Transport", std::to_string(values.Transport));
        WriteLine(text, "SerialPort", WithoutLineBreaks(values.SerialPort));
        WriteLine(text, "Baud", std::to_string(values.Baud));
        WriteLine(text, "Parity", std::string(1, ParityLetter(values.Parity)));
        WriteLine(text, "StopBits", std::to_string(values.StopBits));
    }
    for (int key = 0; key < kDeviceKeyCount; key++) {
        const int32_t value = DeviceValue(values.device, static_cast<DeviceKey>(key));
        if (value != kDeviceKeys[key].fallback)
            WriteLine(text, kDeviceKeys[key].name, std::to_string(value));
    }
    return text;
}

std::string SettingsPath()
{
    std::error_code error;
    std::string directory = std::filesystem::current_path(error).string();
    if (error || directory.empty())
        return {};
    if (directory.back() != '/')
        directory += '/';
    return directory + kSettingsFileName;
}
