#include "ui/link_label.h"

#include <QMouseEvent>

#include "ui/window_handlers.h"

LinkLabel::LinkLabel(int id, const QString& text, QWidget* parent) : QLabel(text, parent), id_(id)
{
    setTextFormat(Qt::PlainText);
    // Written from the top-left corner, as a static text is.
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QFont underlined = font();
    underlined.setUnderline(true);
    setFont(underlined);
    setCursor(Qt::PointingHandCursor);
}

void LinkLabel::mousePressEvent(QMouseEvent* event)
{
    // Taken here so that the release comes back to this link.
    event->accept();
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && isEnabled())
        ReportControlEvent(id_);
    event->accept();
}
