#include <QRect>
#include <QTextEdit>

#include <iterator>
#include <string>

#include "ui/control_ids.h"
#include "ui/pages.h"
#include "ui/text_panes.h"
#include "ui/widgets.h"

namespace {

constexpr const char* kHelpLines[] = {
    "- SHORT HELP -",
    "",
    "By Communications Tab, you can:",
    " - Configure the communications parameter with the server",
    " - Set/Reset the Modbus Address Offset",
    " - Send commands to the server",
    " - Start/Stop the conversation with the server",
    "",
    "By View Data Tab, you can:",
    " - Configure the start address of the block to monitor",
    " - Configure the length of the block to monitor",
    " - Configure the scan rate of the reading block",
    " - Select the display and value type of Discrete Inputs, Coil Outputs,",
    "    Input Registers and Holding Registers.",
    " - Change Output Coils and Holding Register values by doubleclick on",
    "    the appropriate cell value and then editing the value and changing",
    "    it. To do this, the client must be connected",
    " - Start/Stop the conversation with the server",
    "",
    "By View Messages Tab, you can:",
    " - To see the length and content of Polls, Valid And Bad Responses",
    "    between Modbus/TCP client and server (only last 300 lines)",
    " - Clear Log messages and Counters that appear in the status bar",
    " - Start/Stop the conversation with the server",
    "",
    "By About Tab, you can:",
    " - To know the application details and contact information",
    "",
    "By Help Tab, you can:",
    " - Get this help",
};

constexpr int kHeadingLines[] = {2, 8, 19, 25, 28};

// What came after the short help, in its voice, each feature with where to
// find it; after a blank line, its title first. No line is wider than the
// widest above, so the pane needs no horizontal scroll bar.
constexpr const char* kMoreHelpLines[] = {
    "",
    "- MORE HELP -",
    "",
    "By right-click on a value in View Data Tab, you can:",
    " - Copy the value, its row or the whole table as CSV",
    " - Write any value with \"Write value\u2026\": 16, 32 or 64 bits,",
    "    signed, unsigned, float, hex or binary, in any byte order,",
    "    by any write function; the request is shown before it goes",
    " - Record every poll cycle to a CSV file (\"Record to CSV\u2026\")",
    " - Plot the value over time (\"Plot\"): the trend window opens",
    "    beside this one; zoom with the wheel or a box, pan when paused",
    "",
    "By right-click on a counter in the status bar, you can:",
    " - Plot the response time of every valid response",
    "",
    "By right-click on the log in View Messages Tab, you can:",
    " - Copy it, or save it to a file (\"Save Log As\u2026\")",
    "",
    "By Communications Tab, you can also:",
    " - Choose the transport: Modbus/TCP, Modbus RTU over TCP, or",
    "    RTU on a serial port with its baud rate, parity and stop bits",
    " - Suit a device built otherwise with \"Device settings...\" (Alt+D):",
    "    time-out, pacing, request size, write function, unit id",
    " - Find who answers on the line with \"Scan...\" (Alt+S)",
    "",
    "Good to know:",
    " - Values in grey italics are not from the latest read (it failed,",
    "    the link is down, or you disconnected); hover a value or a",
    "    counter for more, such as how long ago it was read",
    " - A lost link comes back by itself: the status bar counts the",
    "    attempts, and Connect / Disconnect stops them",
    " - A write the device refuses stays noted above the status bar",
    "    until you press a key or click",
};

// Lines of the whole text: the title of the more help, and its headings.
constexpr int kMoreTitleLine = 31;
constexpr int kMoreHeadingLines[] = {33, 42, 45, 48, 55};

std::string HelpText()
{
    std::string text;
    for (size_t i = 0; i < std::size(kHelpLines); ++i) {
        if (i > 0)
            text += "\r\n";
        text += kHelpLines[i];
    }
    for (const char* line : kMoreHelpLines)
        text += std::string("\r\n") + line;
    return text;
}

void FormatTitle(int line)
{
    SelectEditorRange(IdHelpPane, line, 1, line, -1);
    SetSelectionColour(IdHelpPane, kAccentOrange);
    SetParagraphAlignment(IdHelpPane, ParagraphCentred);
    SetSelectionEffects(IdHelpPane, EffectBold | EffectItalic, 0);
}

void FormatHeading(int line)
{
    SelectEditorRange(IdHelpPane, line, 1, line, -1);
    SetSelectionColour(IdHelpPane, kBlue);
    SetSelectionEffects(IdHelpPane, EffectBold | EffectItalic | EffectUnderline, 0);
}

}  // namespace

void BuildHelpPage(QWidget* page)
{
    // Every line fits the pane's width: a horizontal scroll bar would
    // scroll nothing.
    CreateTextPane(page, IdHelpPane, QRect(8, 8, 490, 500))->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    AppendEditorText(IdHelpPane, HelpText());

    HideEditorSelection(IdHelpPane);
    FormatTitle(0);
    for (int line : kHeadingLines)
        FormatHeading(line);
    FormatTitle(kMoreTitleLine);
    for (int line : kMoreHeadingLines)
        FormatHeading(line);
    SelectEditorRange(IdHelpPane, 0, 1, 0, 1);
    ShowEditorSelection(IdHelpPane);
}
