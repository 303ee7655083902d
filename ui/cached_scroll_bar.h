// A scroll bar that keeps its last few pictures and shows one again when
// what it is drawn from is as it was then.
//
// The log's bars are asked to repaint with every line: the range grows by a
// line and shrinks back at the cut, so a full log's bar goes round the same
// few pictures. The style draws their long edges through Qt's thread pool,
// which wakes other threads for every repaint.
//
// This leans on Qt's inside: the style draws a bar from the state kept in
// Drawn alone (hovered and pressed parts aside, which are not kept), and
// whatever else changes its look reaches the bar as an event. The test in
// tests/ui/cached_scroll_bar_test.cpp compares it with a plain bar and fails
// when a Qt draws from more.
#pragma once

#include <QPixmap>
#include <QScrollBar>

#include <array>

class CachedScrollBar : public QScrollBar {
public:
    explicit CachedScrollBar(Qt::Orientation orientation, QWidget* parent = nullptr);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // What the picture is drawn from. Any event other than a paint (focus,
    // a style or palette change) counts as a change. While the mouse is on
    // the bar or a button is down, the bar is drawn as usual, not kept.
    struct Drawn {
        QSize size;
        qreal scale = 0;
        int minimum = 0, maximum = 0, value = 0, position = 0, pageStep = 0;
        bool down = false, enabled = false, active = false, inverted = false;
        qint64 palette = 0;
        const void* style = nullptr;
        quint64 events = 0;
        bool operator==(const Drawn&) const = default;
    };
    Drawn Current() const;

    struct Picture {
        Drawn drawn;
        QPixmap pixmap;
    };
    // Newest first; a few cover the range's round of a full log.
    std::array<Picture, 4> pictures_;
    quint64 events_ = 0;
};
