#include "ui/cached_scroll_bar.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>

#include <algorithm>

CachedScrollBar::CachedScrollBar(Qt::Orientation orientation, QWidget* parent) : QScrollBar(orientation, parent) {}

CachedScrollBar::Drawn CachedScrollBar::Current() const
{
    Drawn d;
    d.size = size();
    d.scale = devicePixelRatioF();
    d.minimum = minimum();
    d.maximum = maximum();
    d.value = value();
    d.position = sliderPosition();
    d.pageStep = pageStep();
    d.down = isSliderDown();
    d.enabled = isEnabled();
    d.active = isActiveWindow();
    d.inverted = invertedAppearance();  // a change of direction arrives as an event
    d.palette = palette().cacheKey();
    d.style = style();
    d.events = events_;
    return d;
}

bool CachedScrollBar::event(QEvent* event)
{
    if (event->type() != QEvent::Paint)
        ++events_;
    return QScrollBar::event(event);
}

void CachedScrollBar::paintEvent(QPaintEvent* event)
{
    // Hovered or pressed parts are known to the bar alone.
    if (underMouse() || isSliderDown() || QApplication::mouseButtons() != Qt::NoButton) {
        pictures_ = {};
        QScrollBar::paintEvent(event);
        return;
    }
    const Drawn now = Current();
    auto found = std::find_if(pictures_.begin(), pictures_.end(),
                              [&](const Picture& p) { return !p.pixmap.isNull() && p.drawn == now; });
    if (found == pictures_.end()) {
        found = pictures_.end() - 1;  // the oldest goes
        QPixmap& pixmap = found->pixmap;
        pixmap = QPixmap(size() * now.scale);
        pixmap.setDevicePixelRatio(now.scale);
        pixmap.fill(Qt::transparent);
        // As the bar draws itself, with nothing hovered or pressed, and with
        // the painter a widget would start with.
        QStyleOptionSlider option;
        initStyleOption(&option);
        option.subControls = QStyle::SC_All;
        option.activeSubControls = QStyle::SC_None;
        QPainter painter(&pixmap);
        painter.setPen(QPen(palette().brush(foregroundRole()), 1));
        painter.setBackground(palette().brush(backgroundRole()));
        painter.setFont(font());
        style()->drawComplexControl(QStyle::CC_ScrollBar, &option, &painter, this);
        found->drawn = now;
    }
    std::rotate(pictures_.begin(), found, found + 1);
    QPainter painter(this);
    painter.drawPixmap(0, 0, pictures_.front().pixmap);
}
