#include "ui/light_look.h"

#include <QApplication>
#include <QToolTip>

#include "common/colours.h"
#include "ui/widgets.h"

QPalette LightPalette()
{
    const QColor black(0, 0, 0);
    const QColor white(255, 255, 255);
    const QColor face = ToQColor(kControlFace);
    QPalette palette;
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const bool enabled = group != QPalette::Disabled;
        const QColor text = enabled ? black : ToQColor(kDisabledText);
        palette.setColor(group, QPalette::Window, face);
        palette.setColor(group, QPalette::WindowText, text);
        palette.setColor(group, QPalette::Base, enabled ? white : face);
        palette.setColor(group, QPalette::AlternateBase, QColor(247, 247, 247));
        palette.setColor(group, QPalette::ToolTipBase, QColor(255, 255, 220));
        palette.setColor(group, QPalette::ToolTipText, black);
        palette.setColor(group, QPalette::PlaceholderText, ToQColor(kDisabledText));
        palette.setColor(group, QPalette::Text, text);
        palette.setColor(group, QPalette::Button, face);
        palette.setColor(group, QPalette::ButtonText, text);
        palette.setColor(group, QPalette::BrightText, white);
        palette.setColor(group, QPalette::Light, white);
        palette.setColor(group, QPalette::Midlight, QColor(227, 227, 227));
        palette.setColor(group, QPalette::Mid, QColor(184, 184, 184));
        palette.setColor(group, QPalette::Dark, QColor(160, 160, 160));
        palette.setColor(group, QPalette::Shadow, QColor(118, 118, 118));
        // White on it reads at 5:1, also in a list without the focus.
        palette.setColor(group, QPalette::Highlight, enabled ? ToQColor(kSelectionBlue) : QColor(145, 145, 145));
        palette.setColor(group, QPalette::HighlightedText, white);
        palette.setColor(group, QPalette::Link, ToQColor(kBlue));
        palette.setColor(group, QPalette::LinkVisited, QColor(128, 0, 128));
    }
    return palette;
}

void UseLightLook()
{
    QApplication::setPalette(LightPalette());
    QToolTip::setPalette(LightPalette());
}
