#include "ui/fonts.h"

#include <QFont>

namespace {

// GUI thread only; file-local: handed out by NormalFont and TableFont.
// Live until the process ends: a QFont must not outlive the application in a
// static destructor, so these are never deleted.
struct Fonts {
    QFont* normal = nullptr;  // Verdana 10 pt
    QFont* table = nullptr;   // Tahoma 8 pt
};
Fonts gFonts;

QFont* MakeFont(const char* family, int points)
{
    auto* font = new QFont(QString::fromLatin1(family));
    font->setPointSize(points);
    font->setWeight(QFont::Normal);
    font->setItalic(false);
    font->setUnderline(false);
    // Prefer a sans-serif stand-in over the default serif when the family
    // is not installed.
    font->setStyleHint(QFont::SansSerif);
    return font;
}

}  // namespace

void CreateFonts()
{
    delete gFonts.normal;
    delete gFonts.table;
    gFonts.normal = MakeFont("Verdana", 10);
    gFonts.table = MakeFont("Tahoma", 8);
}

const QFont& NormalFont()
{
    if (!gFonts.normal)
        CreateFonts();
    return *gFonts.normal;
}

const QFont& TableFont()
{
    if (!gFonts.table)
        CreateFonts();
    return *gFonts.table;
}
