#include "ui/open_link.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

#include "ui/controls.h"

void OpenLink(int id)
{
    const QString text = QString::fromStdString(GetControlText(id)).trimmed();
    const QUrl url(text, QUrl::StrictMode);
    // An address the desktop cannot open is simply not opened.
    if (text.isEmpty() || !url.isValid() || url.scheme().isEmpty())
        return;
    QDesktopServices::openUrl(url);
}
