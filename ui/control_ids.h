// Every control of the window has a fixed id; the whole program addresses
// controls through these numbers.
#pragma once

enum ControlId {
    IdTabPanel = 0,
    // Communications
    IdHostLabel = 1,
    IdHostField = 2,
    IdPortLabel = 3,
    IdPortField = 4,
    IdUnitLabel = 5,
    IdUnitField = 6,
    IdConnectComms = 7,
    IdCommandLabel = 8,
    IdCommandField = 9,
    IdSendCommand = 10,
    IdOffsetCheck = 11,
    // View Data
    IdDataList = 12,
    IdStartLabel = 13,
    IdStartField = 14,
    IdLengthLabel = 15,
    IdLengthField = 16,
    IdScanLabel = 17,
    IdScanField = 18,
    IdFormatLabel = 19,
    IdSelectorDI = 20,
    IdSelectorCO = 21,
    IdSelectorIR = 22,
    IdSelectorHR = 23,
    IdConnectData = 24,
    // View Messages
    IdMessageLog = 25,
    IdConnectMessages = 26,
    IdClearLog = 27,
    IdLegendPolls = 28,
    IdLegendValid = 29,
    IdLegendBad = 30,
    // About
    IdAboutAppCaption = 31,
    IdAboutAppValue = 32,
    IdAboutVersionCaption = 33,
    IdAboutVersionValue = 34,
    IdAboutAuthorCaption = 35,
    IdAboutAuthorValue = 36,
    IdAboutCompanyCaption = 37,
    IdAboutWebLink = 38,
    IdAboutContactCaption = 39,
    IdAboutMailLink = 40,
    IdAboutLogo = 41,
    IdAboutLicenseCaption = 42,
    IdAboutLicenseValue = 43,
    // Help
    IdHelpPane = 44,
    kControlCount = 45,
    // Communications: the transport and the serial line. Past the timer ids
    // 45 and 46, in the page's reading order.
    IdTransportLabel = 50,
    IdTransportSelector = 51,
    IdSerialPortLabel = 52,
    IdSerialPortField = 53,
    IdBaudLabel = 54,
    IdBaudSelector = 55,
    IdParityLabel = 56,
    IdParitySelector = 57,
    IdStopBitsLabel = 58,
    IdStopBitsSelector = 59,
    // Communications: opens the Scan window.
    IdScanButton = 60,
    // Communications: the "Device settings..." button.
    IdDeviceSettings = 61,
    // One past the highest control id: the registry's size.
    kControlIdEnd = 62
};

// The scan timer's id among the window's timers.
constexpr int kScanTimerId = 45;
// The timer that brings a lost link back: the next reconnect attempt.
constexpr int kLinkTimerId = 46;
// The CSV recording's mark and figures, twice a second while it records.
constexpr int kRecordTimerId = 47;

// Status-bar fields.
enum StatusField { StatusText = 0, StatusPolls = 1, StatusValid = 2, StatusBad = 3 };

// Format selector of table t (1..4) is control 19 + t.
constexpr int SelectorOfTable(int table)
{
    return 19 + table;
}
