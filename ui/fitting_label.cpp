#include "ui/fitting_label.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace {

constexpr qreal kStepPoints = 0.5;

}  // namespace

FittingLabel::FittingLabel(const QString& text, QWidget* parent, qreal floorPoints)
    : QLabel(text, parent), floorPoints_(floorPoints)
{
    setTextFormat(Qt::PlainText);
}

int FittingLabel::Room() const
{
    // The label's own margins as QLabel lays out a left-aligned line.
    return contentsRect().width() - 2 * margin() - std::max(0, indent());
}

QFont FittingLabel::ShownFont() const
{
    QFont shown = font();
    const int room = Room();
    while (QFontMetrics(shown).horizontalAdvance(text()) > room && shown.pointSizeF() - kStepPoints >= floorPoints_)
        shown.setPointSizeF(shown.pointSizeF() - kStepPoints);
    return shown;
}

QString FittingLabel::ShownText() const
{
    return QFontMetrics(ShownFont()).elidedText(text(), Qt::ElideMiddle, Room());
}

void FittingLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    drawFrame(&painter);
    const QRect area = contentsRect().adjusted(margin() + std::max(0, indent()), margin(), -margin(), -margin());
    painter.setFont(ShownFont());
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, foregroundRole()));
    painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, ShownText());
}
