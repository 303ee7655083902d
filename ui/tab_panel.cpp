#include "ui/tab_panel.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStyleOptionFocusRect>
#include <QStyleOptionTab>
#include <QStylePainter>
#include <QTabBar>
#include <QTabWidget>
#include <QTextEdit>

#include <optional>

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

// The scroll bar action a key takes in a text, or none.
std::optional<QAbstractSlider::SliderAction> ScrollAction(const QKeyEvent& key)
{
    const Qt::KeyboardModifiers mods = key.modifiers() & ~Qt::KeypadModifier;
    const bool plain = mods == Qt::NoModifier;
    switch (key.key()) {
    case Qt::Key_PageUp:
        return plain ? std::optional(QAbstractSlider::SliderPageStepSub) : std::nullopt;
    case Qt::Key_PageDown:
        return plain ? std::optional(QAbstractSlider::SliderPageStepAdd) : std::nullopt;
    case Qt::Key_Up:
        return plain ? std::optional(QAbstractSlider::SliderSingleStepSub) : std::nullopt;
    case Qt::Key_Down:
        return plain ? std::optional(QAbstractSlider::SliderSingleStepAdd) : std::nullopt;
    case Qt::Key_Home:
        return plain || mods == Qt::ControlModifier ? std::optional(QAbstractSlider::SliderToMinimum) : std::nullopt;
    case Qt::Key_End:
        return plain || mods == Qt::ControlModifier ? std::optional(QAbstractSlider::SliderToMaximum) : std::nullopt;
    default:
        return std::nullopt;
    }
}

class TabPanel : public QTabWidget {
public:
    TabPanel(QWidget* window, Rgb tabColour) : QTabWidget(window) { setTabBar(new ColouredTabBar(tabColour)); }

protected:
    // A page is shown with the focus on its tab: the keys that scroll a
    // text (Page Up and Down, the arrows up and down, Home and End), which
    // the tabs do not take, scroll the page's text pane, if it has one.
    void keyPressEvent(QKeyEvent* event) override
    {
        QTabWidget::keyPressEvent(event);
        if (event->isAccepted() || !currentWidget())
            return;
        const std::optional<QAbstractSlider::SliderAction> action = ScrollAction(*event);
        if (!action)
            return;
        for (auto* pane : currentWidget()->findChildren<QAbstractScrollArea*>(Qt::FindDirectChildrenOnly)) {
            if (!qobject_cast<QTextEdit*>(pane) && !qobject_cast<QPlainTextEdit*>(pane))
                continue;
            pane->verticalScrollBar()->triggerAction(*action);
            event->accept();
            return;
        }
    }
};

}  // namespace

QTabWidget* CreateTabPanel(QWidget* window, Rgb tabColour)
{
    return new TabPanel(window, tabColour);
}
