// The settings reader and writer: any bytes read, written and read again give
// the same values; any values written read back as the writer promises; and
// integers read as atoi (saturated to int32) would read them.
#include <fuzzer/FuzzedDataProvider.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "connection/settings_format.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

bool SameValues(const SettingsValues& a, const SettingsValues& b)
{
    return a.IP_URL == b.IP_URL && a.Port == b.Port && a.CHB_MBS == b.CHB_MBS && a.ModbusID == b.ModbusID &&
           a.StartAddress == b.StartAddress && a.RequestSize == b.RequestSize && a.ScanRate == b.ScanRate &&
           a.IdxCboDI == b.IdxCboDI && a.IdxCboCO == b.IdxCboCO && a.IdxCboIR == b.IdxCboIR &&
           a.IdxCboHR == b.IdxCboHR && a.Transport == b.Transport && a.SerialPort == b.SerialPort && a.Baud == b.Baud &&
           a.Parity == b.Parity && a.StopBits == b.StopBits;
}

// Twelve lines, and the five serial ones only when they are not all defaults.
void CheckWrittenShape(const std::string& text, const SettingsValues& values)
{
    FUZZ_CHECK(text.rfind("[Global]\r\nIP_URL = ", 0) == 0);
    size_t lines = 0;
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] == '\r') {
            FUZZ_CHECK(i + 1 < text.size() && text[i + 1] == '\n');
            lines++;
            i++;
        } else {
            FUZZ_CHECK(text[i] != '\n');
        }
    }
    FUZZ_CHECK(lines == (SerialKeysAreDefault(values) ? 12u : 17u));
    FUZZ_CHECK(text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0);
}

std::string Trimmed(const std::string& text)
{
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    // Read, write, read: the same values.
    const SettingsValues read = ReadSettingsText(bytes);
    const std::string written = WriteSettingsText(read);
    CheckWrittenShape(written, read);
    FUZZ_CHECK(SameValues(ReadSettingsText(written), read));

    // Arbitrary values: written in shape, and read back except for what the
    // format cannot hold (line breaks, outer blanks of the text).
    FuzzedDataProvider provider(data, size);
    SettingsValues values;
    for (int32_t* field : {&values.Port, &values.CHB_MBS, &values.ModbusID, &values.StartAddress, &values.RequestSize,
                           &values.ScanRate, &values.IdxCboDI, &values.IdxCboCO, &values.IdxCboIR, &values.IdxCboHR})
        *field = provider.ConsumeIntegral<int32_t>();
    values.IP_URL = provider.ConsumeRandomLengthString(256);
    // The serial keys take only values the window offers: any of those.
    if (provider.ConsumeBool()) {
        values.Transport = provider.ConsumeIntegralInRange<int32_t>(0, kTransportKinds - 1);
        values.SerialPort = provider.ConsumeRandomLengthString(64);
        values.Baud = provider.PickValueInArray(kStandardBauds);
        values.Parity = provider.PickValueInArray({ParityNone, ParityEven, ParityOdd});
        values.StopBits = provider.ConsumeIntegralInRange<int32_t>(1, 2);
    }
    const std::string text = WriteSettingsText(values);
    CheckWrittenShape(text, values);
    SettingsValues expected = values;
    auto kept = [](const std::string& written) {
        std::string rest;
        for (char c : written)
            if (c != '\r' && c != '\n')
                rest += c;
        return Trimmed(rest);
    };
    expected.IP_URL = kept(values.IP_URL);
    expected.SerialPort = kept(values.SerialPort);
    FUZZ_CHECK(SameValues(ReadSettingsText(text), expected));

    // An integer value reads as strtoll would, clamped to int32.
    std::string number = provider.ConsumeRemainingBytesAsString();
    number = number.substr(0, number.find_first_of("\r\n"));
    const long long wide = std::strtoll(number.c_str(), nullptr, 10);
    const int32_t clamped = wide > INT32_MAX ? INT32_MAX : wide < INT32_MIN ? INT32_MIN : static_cast<int32_t>(wide);
    FUZZ_CHECK(ReadSettingsText("[Global]\nScanRate = " + number).ScanRate == clamped);
    return 0;
}
