#include "ui/fonts.h"

#include <QFont>

namespace {

// GUI thread only; file-local: handed out by NormalFont and TableFont.
// Live until the process ends: a QFont must not outlive the application in a
// static destructor, so these are never deleted.
QFont* gNormal = nullptr;
QFont* gTable = nullptr;

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
    delete gNormal;
    delete gTable;
    gNormal = MakeFont("Verdana", 10);
    gTable = MakeFont("Tahoma", 8);
}

const QFont& NormalFont()
{
    if (!gNormal)
        CreateFonts();
    return *gNormal;
}

const QFont& TableFont()
{
    if (!gTable)
        CreateFonts();
    return *gTable;
}
