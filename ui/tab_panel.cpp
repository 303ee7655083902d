#include "ui/tab_panel.h"

#include <QStyleOptionFocusRect>
#include <QStyleOptionTab>
#include <QStylePainter>
#include <QTabBar>
#include <QTabWidget>

#include "ui/widgets.h"

namespace {

// The style draws each tab's outline; the program fills it and writes its
// caption. The selected tab's filled area is 2 pixels shorter at the top and
// at the bottom, every other tab's 1 pixel longer at the bottom.
class ColouredTabBar : public QTabBar {
public:
    explicit ColouredTabBar(Rgb fill) : fill_(ToQColor(fill)) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        QStylePainter painter(this);
        // The selected tab last, so that it overlaps its neighbours.
        for (int i = 0; i < count(); ++i)
            if (i != currentIndex())
                PaintTab(painter, i);
        if (currentIndex() >= 0)
            PaintTab(painter, currentIndex());
    }

private:
    void PaintTab(QStylePainter& painter, int index)
    {
        QStyleOptionTab tab;
        initStyleOption(&tab, index);
        painter.drawControl(QStyle::CE_TabBarTabShape, tab);

        const bool selected = index == currentIndex();
        // One pixel in from the sides, so that the outlines keep the tabs apart.
        const QRect area = selected ? tab.rect.adjusted(1, 2, -1, -2) : tab.rect.adjusted(1, 0, -1, 1);
        painter.fillRect(area, fill_);
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(area, Qt::AlignCenter | Qt::TextSingleLine, tabText(index));

        if (selected && hasFocus()) {
            QStyleOptionFocusRect focus;
            focus.initFrom(this);
            focus.rect =
                painter.boundingRect(area, Qt::AlignCenter | Qt::TextSingleLine, tabText(index)).adjusted(-3, -1, 3, 1);
            painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
        }
    }

    QColor fill_;
};

class TabPanel : public QTabWidget {
public:
    TabPanel(QWidget* window, Rgb tabColour) : QTabWidget(window) { setTabBar(new ColouredTabBar(tabColour)); }
};

}  // namespace

QTabWidget* CreateTabPanel(QWidget* window, Rgb tabColour)
{
    return new TabPanel(window, tabColour);
}
