#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QRect>

#include "ui/control_ids.h"
#include "ui/controls.h"
#include "ui/link_label.h"
#include "ui/logo.h"
#include "ui/pages.h"
#include "ui/widgets.h"

namespace {

constexpr const char* kAuthorLine = "Sorbel-Client team (2025-2026)";
constexpr const char* kWebAddress = "https://sorbel.example.org";
constexpr const char* kMailAddress = "mailto:support@sorbel.example.org";
constexpr const char* kLicense = "GNU General Public License v3";

// Captions and values are written from the top like the links between
// them, so that every row stays level.
void Caption(QWidget* page, int id, int x, int y, const char* text)
{
    SetTextColour(CreateLabel(page, id, QRect(x, y, 100, 20), text, Qt::AlignRight | Qt::AlignTop), kAccentOrange);
}

void Value(QWidget* page, int id, int x, int y, const char* text)
{
    SetTextColour(CreateLabel(page, id, QRect(x, y, 250, 20), text, Qt::AlignLeft | Qt::AlignTop), kBlue);
}

void Link(QWidget* page, int id, int y, const char* address)
{
    auto* link = new LinkLabel(id, QString::fromUtf8(address), page);
    link->setGeometry(188, y, 250, 20);
    RegisterControl(id, link);
    SetTextColour(link, kBlue);
}

// The logo in the screen's own pixels: on a scaled screen the large picture
// brought to the screen's size of the 250-pixel control, so that it stays
// sharp instead of being blown up pixel by pixel.
QPixmap LogoPixmap(qreal ratio)
{
    if (ratio <= 1.0 || LargeLogoImage().isNull())
        return QPixmap::fromImage(LogoImage());
    const int side = qRound(LogoImage().width() * ratio);
    QPixmap pixmap =
        QPixmap::fromImage(LargeLogoImage().scaled(side, side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    pixmap.setDevicePixelRatio(ratio);
    return pixmap;
}

}  // namespace

void BuildAboutPage(QWidget* page)
{
    Caption(page, IdAboutAppCaption, 78, 50, "Application:");
    Value(page, IdAboutAppValue, 188, 50, "Zedudu ZUD Uredav");
    Caption(page, IdAboutVersionCaption, 78, 80, "Version:");
    Value(page, IdAboutVersionValue, 188, 80, "1.0.0.1");
    Caption(page, IdAboutAuthorCaption, 78, 110, "Author:");
    Value(page, IdAboutAuthorValue, 188, 110, kAuthorLine);
    Caption(page, IdAboutCompanyCaption, 78, 140, "Company:");
    Link(page, IdAboutWebLink, 140, kWebAddress);
    Caption(page, IdAboutContactCaption, 78, 170, "Contact:");
    Link(page, IdAboutMailLink, 170, kMailAddress);
    // The license row sits two pixels right of the rows above.
    Caption(page, IdAboutLicenseCaption, 80, 200, "License:");
    Value(page, IdAboutLicenseValue, 190, 200, kLicense);

    auto* logo = new QLabel(page);
    logo->setGeometry(128, 240, 250, 250);
    logo->setTextFormat(Qt::PlainText);
    logo->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    if (!LogoImage().isNull())
        logo->setPixmap(LogoPixmap(logo->devicePixelRatioF()));
    RegisterControl(IdAboutLogo, logo);
}
