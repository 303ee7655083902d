#include "engine/settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "common/field_limits.h"
#include "common/number_rule.h"
#include "connection/line_settings.h"
#include "connection/settings_format.h"
#include "engine/device_setup.h"
#include "engine/program_state.h"
#include "engine/transport_choice.h"
#include "ui/control_ids.h"
#include "ui/controls.h"

namespace {

// A settings file is a few hundred bytes; anything past this is not read,
// so that a huge file cannot exhaust memory at start-up.
constexpr size_t kMaxSettingsBytes = 1 << 20;

// Up to kMaxSettingsBytes of the file; nothing if it cannot be opened.
std::string ReadFilePrefix(const std::string& path)
{
    std::string bytes;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return bytes;
    char buffer[4096];
    while (bytes.size() < kMaxSettingsBytes) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        bytes.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    if (bytes.size() > kMaxSettingsBytes)
        bytes.resize(kMaxSettingsBytes);
    return bytes;
}

bool WriteAll(int fd, const std::string& text)
{
    size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        written += static_cast<size_t>(n);
    }
    return true;
}

// The mode a file made in place would have had: the old file's, or the
// usual one under the process's umask.
mode_t NewFileMode(const std::string& path)
{
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0)
        return old.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0644 & ~mask;
}

// Replaces the file at path with text so that a failure at any step (disk
// full, no permission, a short write) leaves the old file as it was: the
// text goes to a temporary file beside it, is flushed to disk and only
// then renamed over the old one. A symbolic link is followed, so the link
// stays and its target is replaced.
void ReplaceFile(std::string path, const std::string& text)
{
    std::error_code error;
    const std::filesystem::path target = std::filesystem::canonical(path, error);
    if (!error)
        path = target.string();

    std::string temporary = path + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        return;
    const bool written = ::fchmod(fd, NewFileMode(path)) == 0 && WriteAll(fd, text) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || ::rename(temporary.c_str(), path.c_str()) != 0)
        ::unlink(temporary.c_str());
}

// A numeric field holds only what goes out as it shows: a value from the
// file outside the field's range is refused and the field keeps its own.
void SetNumberField(int id, int64_t value, int64_t lowest, int64_t highest)
{
    if (value >= lowest && value <= highest)
        SetControlText(id, std::to_string(value));
}

// The entry of the Baud selector for a rate; -1 for none.
int BaudIndex(int32_t baud)
{
    for (size_t i = 0; i < kStandardBauds.size(); i++)
        if (kStandardBauds[i] == baud)
            return static_cast<int>(i);
    return -1;
}

}  // namespace

void LoadSettings()
{
    const std::string path = SettingsPath();
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0)
        return;
    // Only a regular file with content counts; a directory, an empty file
    // (or a pipe, which could block the start) leaves the controls as built.
    if (!S_ISREG(info.st_mode) || info.st_size == 0)
        return;

    // A file that cannot be read gives every key its default.
    const SettingsValues values = ReadSettingsText(ReadFilePrefix(path));

    SetControlText(IdHostField, values.IP_URL);
    SetNumberField(IdPortField, values.Port, 0, kHighestPort);
    SetCheckState(IdOffsetCheck, values.CHB_MBS);
    SetNumberField(IdUnitField, values.ModbusID, 0, kHighestUnitId);
    SetNumberField(IdStartField, values.StartAddress, 0, kHighestAddress);
    SetNumberField(IdLengthField, values.RequestSize, 0, kHighestLength);
    SetNumberField(IdScanField, values.ScanRate, kLowestScanRate, kHighestScanRate);
    SetSelectorIndex(IdSelectorDI, values.IdxCboDI);
    SetSelectorIndex(IdSelectorCO, values.IdxCboCO);
    SetSelectorIndex(IdSelectorIR, values.IdxCboIR);
    SetSelectorIndex(IdSelectorHR, values.IdxCboHR);
    // Only valid values come through; a refused one left its default, which
    // is the control's initial choice.
    SetSelectorIndex(IdTransportSelector, values.Transport);
    SetControlText(IdSerialPortField, values.SerialPort);
    SetSelectorIndex(IdBaudSelector, BaudIndex(values.Baud));
    SetSelectorIndex(IdParitySelector, values.Parity);
    SetSelectorIndex(IdStopBitsSelector, values.StopBits - 1);
    EnableTransportFields();
    ChooseDeviceSettings(values.device);
}

void SaveSettings()
{
    SettingsValues values;
    values.IP_URL = GetControlText(IdHostField);
    values.Port = TextToInt32(GetControlText(IdPortField));
    values.CHB_MBS = GetCheckState(IdOffsetCheck) ? 1 : 0;
    values.ModbusID = TextToInt32(GetControlText(IdUnitField));
    values.StartAddress = TextToInt32(GetControlText(IdStartField));
    values.RequestSize = TextToInt32(GetControlText(IdLengthField));
    values.ScanRate = TextToInt32(GetControlText(IdScanField));
    values.IdxCboDI = GetSelectorIndex(IdSelectorDI);
    values.IdxCboCO = GetSelectorIndex(IdSelectorCO);
    values.IdxCboIR = GetSelectorIndex(IdSelectorIR);
    values.IdxCboHR = GetSelectorIndex(IdSelectorHR);
    values.Transport = ChosenTransport();
    const SerialSettings line = ChosenSerialLine();
    values.SerialPort = line.port;
    values.Baud = line.baud;
    values.Parity = line.parity;
    values.StopBits = line.stopBits;
    values.device = program.deviceSettings;

    const std::string path = SettingsPath();
    if (!path.empty())
        ReplaceFile(path, WriteSettingsText(values));
}
