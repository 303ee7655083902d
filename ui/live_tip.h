// Tool tips whose text follows what they tell while they show: asked for
// again every half second, and shown anew in the same place when the text
// changed ("last read 12 s ago", a counter's figures, the status text). The
// refresh stops with the tip: when it hides, when another tip took its
// place, or when the mouse left the area it was shown for.
#pragma once

#include <QRect>
#include <QString>

#include <functional>

class QPoint;
class QWidget;

// The tip at a point of the widget (its own coordinates); area, when set,
// is the part of the widget the tip is about: leaving it hides the tip. An
// empty text shows none.
using LiveTipText = std::function<QString(const QPoint& at, QRect* area)>;

// GUI thread: the widget's tips come from text from now on, instead of its
// own tip or its model's.
void WatchLiveTip(QWidget* widget, LiveTipText text);
