// A dark desktop colour scheme: light text on dark greys, as a dark theme
// hands it to the program.
#pragma once

#include <QColor>
#include <QPalette>

inline QPalette DarkPalette()
{
    // From a button and a window colour Qt derives the rest: white text on
    // a black base, light and dark shades for frames, grey disabled text.
    QPalette palette(QColor(53, 53, 53), QColor(53, 53, 53));
    palette.setColor(QPalette::Base, QColor(35, 35, 35));
    palette.setColor(QPalette::AlternateBase, QColor(53, 53, 53));
    palette.setColor(QPalette::Highlight, QColor(42, 130, 218));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    return palette;
}
