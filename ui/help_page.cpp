#include <QRect>

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

std::string HelpText()
{
    std::string text;
    for (size_t i = 0; i < std::size(kHelpLines); ++i) {
        if (i > 0)
            text += "\r\n";
        text += kHelpLines[i];
    }
    return text;
}

}  // namespace

void BuildHelpPage(QWidget* page)
{
    CreateTextPane(page, IdHelpPane, QRect(8, 8, 490, 500));
    AppendEditorText(IdHelpPane, HelpText());

    HideEditorSelection(IdHelpPane);
    SelectEditorRange(IdHelpPane, 0, 1, 0, -1);
    SetSelectionColour(IdHelpPane, kAccentOrange);
    SetParagraphAlignment(IdHelpPane, ParagraphCentred);
    SetSelectionEffects(IdHelpPane, EffectBold | EffectItalic, 0);
    for (int line : kHeadingLines) {
        SelectEditorRange(IdHelpPane, line, 1, line, -1);
        SetSelectionColour(IdHelpPane, kBlue);
        SetSelectionEffects(IdHelpPane, EffectBold | EffectItalic | EffectUnderline, 0);
    }
    SelectEditorRange(IdHelpPane, 0, 1, 0, 1);
    ShowEditorSelection(IdHelpPane);
}
